// StoreScript.h - scripts store faults and reads the store's call trace,
// through the store's interceptor.
//
//   StoreScript script;
//   script.Answer(KF_Card_GetProperty, -6).OnCall(2).ForProperty(104);
//
// makes the second read of card property 104 answer -6 instead of the store.
#ifndef DM_TESTS_STORE_SCRIPT_H
#define DM_TESTS_STORE_SCRIPT_H

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "KeelAPITest.h"

namespace dm::test {

class StoreScript {
 public:
  class Rule {
   public:
    Rule(KeelFunction function, int16_t status) : function_(function), status_(status) {}
    // Only the n-th matching call (1-based) answers; by default every one.
    Rule& OnCall(int n) {
      nth_ = n;
      return *this;
    }
    Rule& ForProperty(int32_t property) {
      property_ = property;
      return *this;
    }
    Rule& ForText(std::string text) {
      text_ = std::move(text);
      return *this;
    }

   private:
    friend class StoreScript;
    bool Matches(const KeelCall& call) {
      if (call.function != function_) return false;
      if (property_ && call.property != *property_) return false;
      if (text_ && (call.text == nullptr || *text_ != call.text)) return false;
      ++seen_;
      return nth_ == 0 || seen_ == nth_;
    }
    KeelFunction function_;
    int16_t status_;
    int nth_ = 0;
    int seen_ = 0;
    std::optional<int32_t> property_;
    std::optional<std::string> text_;
  };

  StoreScript() { KeelTest_SetInterceptor(&StoreScript::Intercept, this); }
  ~StoreScript() { KeelTest_SetInterceptor(nullptr, nullptr); }
  StoreScript(const StoreScript&) = delete;
  StoreScript& operator=(const StoreScript&) = delete;

  Rule& Answer(KeelFunction function, int16_t status) {
    rules_.emplace_back(function, status);
    return rules_.back();
  }

 private:
  static int32_t Intercept(void* user, const KeelCall* call) {
    auto* self = static_cast<StoreScript*>(user);
    std::optional<int16_t> answer;
    for (Rule& rule : self->rules_) {
      if (rule.Matches(*call) && !answer) answer = rule.status_;
    }
    return answer ? *answer : KEEL_PASS;
  }
  std::deque<Rule> rules_;  // stable references for chained setters
};

// The store calls since the last clear, in order.
inline std::vector<KeelCall> StoreCalls() {
  std::vector<KeelCall> calls(KeelTest_TraceSize());
  for (size_t i = 0; i < calls.size(); ++i) KeelTest_TraceGet(i, &calls[i]);
  return calls;
}

// Their function names, in order.
inline std::vector<std::string> StoreCallNames() {
  std::vector<std::string> names;
  for (const KeelCall& c : StoreCalls()) names.push_back(KeelTest_FunctionName(c.function));
  return names;
}

}  // namespace dm::test

#endif  // DM_TESTS_STORE_SCRIPT_H
