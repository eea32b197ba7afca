// ElfFileVersion.h - the POSIX counterpart of a Windows version resource.
//
// Our libraries carry their fixed file information (the same 52-byte layout
// as Windows' VS_FIXEDFILEINFO, beginning with the signature 0xFEEF04BD) in
// an ELF section named ".fileversion".  This reads it from the file without
// loading the library.
#ifndef DM_PLATFORM_ELF_FILE_VERSION_H
#define DM_PLATFORM_ELF_FILE_VERSION_H

#include <cstdint>
#include <string>

namespace dm::platform {

// dwFileVersionMS of the library at `path`.  Answers 0 when the file cannot
// be read, is not a 64-bit little-endian ELF file, has no ".fileversion"
// section, or the section does not begin with the signature.
uint32_t ReadElfFileVersionMS(const std::string& path);

}  // namespace dm::platform

#endif  // DM_PLATFORM_ELF_FILE_VERSION_H
