// RecordArray.h - a zero-filled array of interface records, as many as the
// store holds of something.
//
// The size is the store's to decide, so a failed allocation fails the call
// instead of the process.  The records are plain C structures: calloc gives
// them zero-filled, and for large arrays in pages the system hands out
// already cleared, so only the records a list fills are ever touched.
#ifndef DM_FAMILIES_RECORD_ARRAY_H
#define DM_FAMILIES_RECORD_ARRAY_H

#include <cstddef>
#include <cstdlib>
#include <type_traits>

#include "KSTypes.h"

namespace dm {

template <typename Record>
class RecordArray {
  static_assert(std::is_trivial_v<Record>, "only plain records may be zero-filled");

 public:
  explicit RecordArray(DWORD count)
      : records_(static_cast<Record*>(std::calloc(count > 0 ? count : 1, sizeof(Record)))) {}
  ~RecordArray() { std::free(records_); }
  RecordArray(const RecordArray&) = delete;
  RecordArray& operator=(const RecordArray&) = delete;

  // False when the records could not be allocated.
  explicit operator bool() const { return records_ != nullptr; }
  Record* get() const { return records_; }
  Record& operator[](size_t i) const { return records_[i]; }

 private:
  Record* records_;
};

}  // namespace dm

#endif  // DM_FAMILIES_RECORD_ARRAY_H
