// Symbol look-up through an object's GNU hash table (DT_GNU_HASH): a bloom
// filter, then a bucket of symbols sharing a hash, each compared by name.
#include "platform/ElfExports.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace dm::platform {
namespace {

uint32_t GnuHash(const char* name) {
  uint32_t h = 5381;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name); *c != 0; ++c) {
    h = h * 33 + *c;
  }
  return h;
}

// The loader relocates some dynamic entries in place and not others
// (it depends on the architecture); an address below the load base is
// still relative to it.
uintptr_t Absolute(uintptr_t base, ElfW(Addr) value) {
  return value < base ? base + value : value;
}

constexpr uint16_t kHiddenVersion = 0x8000;  // a non-default version (name@V)

}  // namespace

bool ElfExports::Index(void* dlopenHandle) {
  link_map* object = nullptr;
  if (dlopenHandle == nullptr || dlinfo(dlopenHandle, RTLD_DI_LINKMAP, &object) != 0 ||
      object == nullptr || object->l_ld == nullptr) {
    return false;
  }
  const uintptr_t base = object->l_addr;
  const uint32_t* gnuHash = nullptr;
  const ElfW(Sym)* symbols = nullptr;
  const char* strings = nullptr;
  const uint16_t* versions = nullptr;
  for (const ElfW(Dyn)* d = object->l_ld; d->d_tag != DT_NULL; ++d) {
    const uintptr_t at = Absolute(base, d->d_un.d_ptr);
    switch (d->d_tag) {
      case DT_GNU_HASH: gnuHash = reinterpret_cast<const uint32_t*>(at); break;
      case DT_SYMTAB: symbols = reinterpret_cast<const ElfW(Sym)*>(at); break;
      case DT_STRTAB: strings = reinterpret_cast<const char*>(at); break;
      case DT_VERSYM: versions = reinterpret_cast<const uint16_t*>(at); break;
      default: break;
    }
  }
  if (gnuHash == nullptr || symbols == nullptr || strings == nullptr) return false;
  base_ = base;
  gnuHash_ = gnuHash;
  symbols_ = symbols;
  strings_ = strings;
  versions_ = versions;
  return true;
}

void* ElfExports::Find(const char* name) const {
  if (gnuHash_ == nullptr || name == nullptr) return nullptr;
  // Header: buckets, first hashed symbol, bloom words, bloom shift.
  const uint32_t bucketCount = gnuHash_[0];
  const uint32_t firstSymbol = gnuHash_[1];
  const uint32_t bloomWords = gnuHash_[2];
  const uint32_t bloomShift = gnuHash_[3];
  if (bucketCount == 0 || bloomWords == 0) return nullptr;
  // Bloom words are as wide as an address of the object's class.
  using BloomWord = ElfW(Addr);
  constexpr uint32_t kBits = sizeof(BloomWord) * 8;
  const auto* bloom = reinterpret_cast<const BloomWord*>(gnuHash_ + 4);
  const uint32_t* buckets = reinterpret_cast<const uint32_t*>(bloom + bloomWords);
  const uint32_t* chain = buckets + bucketCount;

  const uint32_t hash = GnuHash(name);
  const BloomWord word = bloom[(hash / kBits) % bloomWords];
  const BloomWord mask =
      (BloomWord{1} << (hash % kBits)) | (BloomWord{1} << ((hash >> bloomShift) % kBits));
  if ((word & mask) != mask) return nullptr;  // certainly not here

  uint32_t index = buckets[hash % bucketCount];
  if (index < firstSymbol) return nullptr;
  for (;; ++index) {
    const uint32_t entry = chain[index - firstSymbol];
    if ((entry | 1) == (hash | 1)) {
      const ElfW(Sym)& symbol = symbols_[index];
      const unsigned type = ELF64_ST_TYPE(symbol.st_info);
      const bool defined = symbol.st_shndx != SHN_UNDEF && (type == STT_FUNC || type == STT_OBJECT);
      const bool defaultVersion = versions_ == nullptr || (versions_[index] & kHiddenVersion) == 0;
      if (defined && defaultVersion && std::strcmp(strings_ + symbol.st_name, name) == 0) {
        return reinterpret_cast<void*>(base_ + symbol.st_value);
      }
    }
    if ((entry & 1) != 0) return nullptr;  // the end of the bucket's chain
  }
}

}  // namespace dm::platform
