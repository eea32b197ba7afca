// elf_file_version.cpp - the POSIX build's file version: the same fixed
// file info that the Windows build carries in its version resource, in the
// ELF section ".fileversion", where the store's loader reads it from the
// file without loading the library.
//
// The section holds exactly one 52-byte record: thirteen 32-bit words in the
// byte order of the target, in this order.
#include <cstdint>

#include "keel_version.h"

namespace {

struct FixedFileInfo {
  uint32_t signature;
  uint32_t struct_version;
  uint32_t file_version_ms;
  uint32_t file_version_ls;
  uint32_t product_version_ms;
  uint32_t product_version_ls;
  uint32_t file_flags_mask;
  uint32_t file_flags;
  uint32_t file_os;
  uint32_t file_type;
  uint32_t file_subtype;
  uint32_t file_date_ms;
  uint32_t file_date_ls;
};
static_assert(sizeof(FixedFileInfo) == 52, "the record is read as 52 bytes");

constexpr uint32_t kSignature = 0xFEEF04BD;
constexpr uint32_t kStructVersion = 0x00010000;

}  // namespace

// `used` keeps the compiler from dropping the unreferenced record, `retain`
// keeps a linker that collects unused sections from dropping the section.
// A variable in a section of its own is not padded by AddressSanitizer.
#if defined(__has_attribute) && __has_attribute(retain)
#define KEEL_KEEP_SECTION used, retain
#else
#define KEEL_KEEP_SECTION used
#endif

namespace {

__attribute__((section(".fileversion"), KEEL_KEEP_SECTION)) const FixedFileInfo kFileVersion = {
    .signature = kSignature,
    .struct_version = kStructVersion,
    .file_version_ms = KEEL_FILE_VERSION_MS,
    .file_version_ls = KEEL_FILE_VERSION_LS,
    .product_version_ms = KEEL_FILE_VERSION_MS,
    .product_version_ls = KEEL_FILE_VERSION_LS,
    .file_flags_mask = KEEL_FILE_FLAGS_MASK,
    .file_flags = KEEL_FILE_FLAGS,
    .file_os = KEEL_FILE_OS,
    .file_type = KEEL_FILE_TYPE,
    .file_subtype = KEEL_FILE_SUBTYPE,
    .file_date_ms = 0,
    .file_date_ls = 0,
};

}  // namespace
