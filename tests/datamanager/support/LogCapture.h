// LogCapture.h - collects KSLog's records during a test through its sink.
#ifndef DM_TESTS_LOG_CAPTURE_H
#define DM_TESTS_LOG_CAPTURE_H

#include <string>
#include <vector>

#include "KSLogSink.h"

namespace dm::test {

struct LogLine {
  std::string file;
  std::string function;
  int line = 0;
  int level = 0;
  std::string module;
  std::string text;
};

class LogCapture {
 public:
  LogCapture() { KSLog_SetSink(&LogCapture::Receive, this); }
  ~LogCapture() { KSLog_SetSink(nullptr, nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  const std::vector<LogLine>& lines() const { return lines_; }
  void Clear() { lines_.clear(); }

  // The texts alone, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const LogLine& l : lines_) texts.push_back(l.text);
    return texts;
  }
  // How many lines carry exactly this text.
  size_t Count(const std::string& text) const {
    size_t n = 0;
    for (const LogLine& l : lines_) n += l.text == text ? 1 : 0;
    return n;
  }

 private:
  static void Receive(void* user, const KSLogRecord* r) {
    static_cast<LogCapture*>(user)->lines_.push_back(
        {r->file, r->function, r->line, r->level, r->module, r->text});
  }
  std::vector<LogLine> lines_;
};

}  // namespace dm::test

#endif  // DM_TESTS_LOG_CAPTURE_H
