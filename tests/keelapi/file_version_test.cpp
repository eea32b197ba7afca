// The file version that the store's loader reads from the library file
// before loading it.  On POSIX it is the .fileversion ELF section of
// libKeelAPI.so; this test finds the loaded file and reads it as the loader
// would, from the file's section headers.
#include <gtest/gtest.h>

#include "KeelAPI.h"

#if defined(__linux__)
#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<char> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// The contents of the named section of a 64-bit ELF image, or empty.
std::vector<char> Section(const std::vector<char>& image, const std::string& name) {
  if (image.size() < sizeof(Elf64_Ehdr)) return {};
  Elf64_Ehdr header;
  std::memcpy(&header, image.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_shentsize != sizeof(Elf64_Shdr)) {
    return {};
  }
  auto section_at = [&](size_t index, Elf64_Shdr* out) {
    const size_t offset = header.e_shoff + index * sizeof(Elf64_Shdr);
    if (offset + sizeof(Elf64_Shdr) > image.size()) return false;
    std::memcpy(out, image.data() + offset, sizeof *out);
    return out->sh_offset + out->sh_size <= image.size();
  };
  Elf64_Shdr names;
  if (!section_at(header.e_shstrndx, &names)) return {};
  for (size_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr section;
    if (!section_at(i, &section) || section.sh_name >= names.sh_size) continue;
    const char* section_name = image.data() + names.sh_offset + section.sh_name;
    if (name == section_name) {
      const char* begin = image.data() + section.sh_offset;
      return std::vector<char>(begin, begin + section.sh_size);
    }
  }
  return {};
}

TEST(KeelFileVersion, LibraryCarriesTheFixedFileInfoInItsOwnSection) {
  Dl_info info{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&KA_Init), &info), 0);
  ASSERT_NE(info.dli_fname, nullptr);
  const std::vector<char> record = Section(ReadFile(info.dli_fname), ".fileversion");
  ASSERT_EQ(record.size(), 52u) << info.dli_fname;
  uint32_t words[13];
  std::memcpy(words, record.data(), sizeof words);
  EXPECT_EQ(words[0], 0xFEEF04BDu) << "signature";
  EXPECT_EQ(words[1], 0x00010000u) << "structure version";
  EXPECT_EQ(words[2], 0x00020000u) << "file version 2.0";
  EXPECT_EQ(words[3], 0u) << "file version .0.0";
  EXPECT_EQ(words[4], words[2]) << "product version";
  EXPECT_EQ(words[5], words[3]);
}

}  // namespace
#endif  // __linux__
