// The exported functions of a loaded shared object, found by name without
// the dynamic loader.
//
// dlsym takes the loader's lock and walks the object's whole search scope
// on every call.  DataManager looks each store function up by name on
// every call, so the POSIX Env answers from the object's own dynamic
// symbol table instead: the GNU hash table the link editor wrote, read
// where the loader mapped it.  No lock, no allocation, and only the object
// itself is searched, so a function the store does not export is never
// found in one of its dependencies.
#pragma once

#include <link.h>  // ElfW: the ELF types of this build's word size

#include <cstdint>

namespace dm::platform {

class ElfExports {
 public:
  // Indexes the object behind a dlopen handle.  False (and every Find then
  // answers null) when the object has no GNU hash table or its dynamic
  // section cannot be read; the caller then falls back to dlsym.
  bool Index(void* dlopenHandle);

  // The address of the defined function or object `name` of the default
  // version, or null.  Safe from any thread once Index has returned.
  void* Find(const char* name) const;

 private:
  uintptr_t base_ = 0;  // where the object was loaded
  const uint32_t* gnuHash_ = nullptr;
  const ElfW(Sym)* symbols_ = nullptr;
  const char* strings_ = nullptr;
  const uint16_t* versions_ = nullptr;  // DT_VERSYM, when the object has one
};

}  // namespace dm::platform
