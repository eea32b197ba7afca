// trace.h - the record of store calls that the development interface reads.
#ifndef KEEL_ENGINE_TRACE_H
#define KEEL_ENGINE_TRACE_H

#include <cstddef>
#include <deque>
#include <string>

#include "KeelAPITest.h"

namespace keel {

// After KeelTest_Reset the trace keeps at most this many calls unless told
// otherwise, so that a long-running test does not grow without bound.
constexpr size_t kDefaultTraceLimit = 65536;

class Trace {
 public:
  // Appends a copy of `call`, its text included; past the limit the oldest
  // entry is dropped.  Nothing is kept while the limit is 0.
  void Append(const KeelCall& call);

  size_t size() const { return entries_.size(); }

  // Copies entry `index` into *out (whose text points into the trace).
  bool Get(size_t index, KeelCall* out) const;

  void Clear() { entries_.clear(); }

  // Sets the limit, dropping the oldest entries beyond it.
  void SetLimit(size_t limit);

 private:
  struct Entry {
    KeelCall call;
    std::string text;
    bool has_text;
  };
  std::deque<Entry> entries_;
  size_t limit_ = 0;  // off until a test resets the store: clients pay nothing
};

}  // namespace keel

#endif  // KEEL_ENGINE_TRACE_H
