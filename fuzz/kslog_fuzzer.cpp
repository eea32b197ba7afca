// kslog_fuzzer.cpp - LogEx with any format, any source texts and any level.
//
// The format and the file, function and module texts are UTF-16 of the
// input's units (lone surrogates, control characters, widths and flags of
// every kind), each of them now and then null.  Every argument passed is a
// pointer, to a terminated UTF-16 text of the input's or null: on the
// platforms we build for, an integer conversion reads a pointer's slot as
// an integer, and %s reads a valid text whatever the format asks, so any
// format is called with arguments it may read.  Since each conversion reads
// at most one argument and begins with a '%', a format keeps at most as many
// '%' as there are arguments.
//
// The line goes to the sink, which checks that its texts are valid UTF-8,
// and to /dev/null, so that the written line is laid out and escaped too.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzRecords.h"
#include "KSLogSink.h"

namespace {

using Text = std::basic_string<WCHAR>;

constexpr size_t kArguments = 16;

// A UTF-16 text of the input's units, at most `units` long.
Text Units(FuzzedDataProvider& in, size_t units) {
  const std::string bytes = in.ConsumeRandomLengthString(units * sizeof(WCHAR));
  Text text(bytes.size() / sizeof(WCHAR), 0);
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<WCHAR>(static_cast<uint8_t>(bytes[2 * i]) |
                                 static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
  }
  return text;
}

// A format of the input's units, cut before its (kArguments + 1)-th '%'.
Text Format(FuzzedDataProvider& in) {
  Text format = Units(in, 512);
  size_t percents = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == u'%' && ++percents > kArguments) {
      format.resize(i);
      break;
    }
  }
  return format;
}

// A text argument: the input's units, or null.
class TextArg {
 public:
  TextArg(FuzzedDataProvider& in, size_t units)
      : null_(in.ConsumeIntegralInRange(0, 7) == 0), text_(Units(in, units)) {}
  const WCHAR* get() const { return null_ ? nullptr : text_.c_str(); }

 private:
  bool null_;
  Text text_;
};

bool IsUtf8(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  while (*p != 0) {
    int follow = *p < 0x80 ? 0 : (*p >> 5) == 0x6 ? 1 : (*p >> 4) == 0xE ? 2 : (*p >> 3) == 0x1E ? 3 : -1;
    if (follow < 0) return false;
    for (++p; follow > 0; --follow, ++p) {
      if ((*p & 0xC0) != 0x80) return false;
    }
  }
  return true;
}

void CheckRecord(void*, const KSLogRecord* r) {
  for (const char* text : {r->file, r->function, r->module, r->text}) {
    if (text == nullptr || !IsUtf8(text)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("KSLOG_FILE", "/dev/null", 1);
  ::setenv("KSLOG_LEVEL", "2", 1);  // level 1 lines go to the sink only
  KSLog_SetSink(&CheckRecord, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const int32_t level = fuzz::EdgeOr<int32_t>(in, {1, 2, 3, 0, -1});
  const int32_t line = in.ConsumeIntegral<int32_t>();
  const TextArg file(in, 64), function(in, 64), module(in, 32);
  const bool nullFormat = in.ConsumeIntegralInRange(0, 15) == 0;
  const Text format = Format(in);
  std::vector<TextArg> args;
  for (size_t i = 0; i < kArguments; ++i) args.emplace_back(in, 32);
  LogEx(file.get(), function.get(), line, level, module.get(), nullFormat ? nullptr : format.c_str(),
        args[0].get(), args[1].get(), args[2].get(), args[3].get(), args[4].get(), args[5].get(),
        args[6].get(), args[7].get(), args[8].get(), args[9].get(), args[10].get(),
        args[11].get(), args[12].get(), args[13].get(), args[14].get(), args[15].get());
  return 0;
}
