// trace.cpp - a bounded queue of store calls that owns their texts.
//
// A deque keeps its elements in place on push_back and pop_front, so a text
// pointer handed out by Get() stays valid while its entry is in the trace.
#include "trace.h"

namespace keel {

void Trace::Append(const KeelCall& call) {
  if (limit_ == 0) return;
  Entry entry{call, call.text != nullptr ? std::string(call.text) : std::string(),
              call.text != nullptr};
  entry.call.text = nullptr;
  if (entries_.size() >= limit_) entries_.pop_front();
  entries_.push_back(std::move(entry));
}

bool Trace::Get(size_t index, KeelCall* out) const {
  if (index >= entries_.size()) return false;
  const Entry& entry = entries_[index];
  *out = entry.call;
  out->text = entry.has_text ? entry.text.c_str() : nullptr;
  return true;
}

void Trace::SetLimit(size_t limit) {
  limit_ = limit;
  while (entries_.size() > limit_) entries_.pop_front();
}

}  // namespace keel
