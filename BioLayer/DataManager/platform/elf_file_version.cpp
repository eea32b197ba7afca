// Reads the ".fileversion" section of an ELF64 library (see ElfFileVersion.h).
// Every offset and size read from the file is checked against the file's
// length before it is used: a damaged or hostile file answers 0.
#include <elf.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "platform/ElfFileVersion.h"

namespace dm::platform {
namespace {

constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr char kSectionName[] = ".fileversion";
constexpr size_t kMaxSections = 4096;

bool ReadAt(std::ifstream& file, uint64_t offset, void* out, size_t size, uint64_t fileSize) {
  if (offset > fileSize || size > fileSize - offset) return false;
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<size_t>(file.gcount()) == size;
}

}  // namespace

uint32_t ReadElfFileVersionMS(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return 0;
  const auto end = file.tellg();
  if (end <= 0) return 0;
  const auto fileSize = static_cast<uint64_t>(end);

  Elf64_Ehdr header;
  if (!ReadAt(file, 0, &header, sizeof header, fileSize)) return 0;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB ||
      header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shnum == 0 ||
      header.e_shnum > kMaxSections || header.e_shstrndx >= header.e_shnum) {
    return 0;
  }

  std::vector<Elf64_Shdr> sections(header.e_shnum);
  if (!ReadAt(file, header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr),
              fileSize)) {
    return 0;
  }
  const Elf64_Shdr& names = sections[header.e_shstrndx];
  if (names.sh_size == 0 || names.sh_size > (1u << 20)) return 0;
  std::vector<char> nameTable(names.sh_size);
  if (!ReadAt(file, names.sh_offset, nameTable.data(), nameTable.size(), fileSize)) return 0;

  for (const Elf64_Shdr& section : sections) {
    if (section.sh_name >= nameTable.size()) continue;
    const size_t room = nameTable.size() - section.sh_name;
    if (strnlen(&nameTable[section.sh_name], room) == room) continue;  // unterminated
    if (std::strcmp(&nameTable[section.sh_name], kSectionName) != 0) continue;
    if (section.sh_type == SHT_NOBITS || section.sh_size < 3 * sizeof(uint32_t)) return 0;
    uint32_t words[3];  // signature, structure version, dwFileVersionMS
    if (!ReadAt(file, section.sh_offset, words, sizeof words, fileSize)) return 0;
    return words[0] == kFixedFileInfoSignature ? words[2] : 0;
  }
  return 0;
}

}  // namespace dm::platform
