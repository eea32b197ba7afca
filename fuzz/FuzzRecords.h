// FuzzRecords.h - what the fuzz targets share: values drawn from the input
// with a bias towards the edges a contract names, and caller's records
// made of the input's bytes.
#ifndef DM_FUZZ_FUZZ_RECORDS_H
#define DM_FUZZ_FUZZ_RECORDS_H

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <vector>

#include "KSTypes.h"

namespace fuzz {

// One of `values`.
template <typename T>
T Pick(FuzzedDataProvider& in, std::span<const T> values) {
  return values[in.ConsumeIntegralInRange<size_t>(0, values.size() - 1)];
}

// One of `edges`, or now and then any value of the type.
template <typename T>
T EdgeOr(FuzzedDataProvider& in, std::span<const T> edges) {
  if (in.ConsumeIntegralInRange<uint8_t>(0, 7) == 0) return in.ConsumeIntegral<T>();
  return Pick(in, edges);
}
template <typename T>
T EdgeOr(FuzzedDataProvider& in, std::initializer_list<T> edges) {
  return EdgeOr(in, std::span<const T>(edges.begin(), edges.size()));
}
template <typename T, size_t N>
T EdgeOr(FuzzedDataProvider& in, const T (&edges)[N]) {
  return EdgeOr(in, std::span<const T>(edges));
}

// A UTF-16 text field of a record: where it starts and how many units wide.
struct TextField {
  size_t offset;
  size_t width;
};

// `count` records of `size` bytes each: every byte one fill value, then a
// few patches of the input's bytes at offsets it chooses, and, unless the
// input leaves them unterminated, a terminator somewhere in each text
// field.  The storage is exactly count * size bytes from operator new
// (aligned for any record of the interfaces), so AddressSanitizer catches
// a write past the caller's records.
class Records {
 public:
  Records(FuzzedDataProvider& in, size_t count, size_t size,
          std::span<const TextField> texts = {})
      : bytes_(count * size, in.ConsumeIntegral<uint8_t>()) {
    for (size_t r = 0; r < count; ++r) Fill(in, bytes_.data() + r * size, size, texts);
  }
  uint8_t* data() { return bytes_.empty() ? nullptr : bytes_.data(); }

 private:
  static void Fill(FuzzedDataProvider& in, uint8_t* record, size_t size,
                   std::span<const TextField> texts) {
    for (int patches = in.ConsumeIntegralInRange(0, 3); patches > 0; --patches) {
      const size_t at = in.ConsumeIntegralInRange<size_t>(0, size - 1);
      const std::vector<uint8_t> patch =
          in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 64));
      if (!patch.empty()) std::memcpy(record + at, patch.data(), std::min(patch.size(), size - at));
    }
    if (in.ConsumeBool()) return;  // texts as they fell
    for (const TextField& t : texts) {
      const size_t end = in.ConsumeIntegralInRange<size_t>(0, t.width - 1);
      const WCHAR nul = 0;
      std::memcpy(record + t.offset + end * sizeof(WCHAR), &nul, sizeof nul);
    }
  }
  std::vector<uint8_t> bytes_;
};

// Records of type T, as Records makes them.
template <typename T>
class RecordsOf {
 public:
  RecordsOf(FuzzedDataProvider& in, size_t count, std::span<const TextField> texts = {})
      : records_(in, count, sizeof(T), texts) {}
  T* get() { return reinterpret_cast<T*>(records_.data()); }

 private:
  Records records_;
};

}  // namespace fuzz

#endif  // DM_FUZZ_FUZZ_RECORDS_H
