// dmctl - the command line of DataManager.
//
//   dmctl [--json] [--log] <family> <command> [arguments]
//
// --json prints one JSON object instead of readable lines (Output.h tells
// its shape); --log echoes the call's log lines to standard error.  The exit
// status is 0 when the export succeeded, 1 when it failed and 2 for a wrong
// command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Command.h"

namespace {

void PrintHelp(std::FILE* to) {
  std::fprintf(to, "usage: dmctl [--json] [--log] <command> [arguments]\n\ncommands:\n");
  for (const dmctl::Command& c : dmctl::AllCommands()) {
    std::string words;
    for (const std::string& w : c.words) words += w + " ";
    const std::string line = words + c.usage;
    if (line.size() < 28) {
      std::fprintf(to, "  %-28s %s\n", line.c_str(), c.help.c_str());
    } else {  // the help on a line of its own
      std::fprintf(to, "  %s\n  %-28s %s\n", line.c_str(), "", c.help.c_str());
    }
  }
}

void EchoLogToStandardError() {
  // KSLog reads its destination on its first line, which has not been
  // written yet: DataManager logs only once an export is called.
#ifdef _WIN32
  _putenv_s("KSLOG_FILE", "-");
#else
  setenv("KSLOG_FILE", "-", 1);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--log") {
      EchoLogToStandardError();
    } else if (arg == "--help" || arg == "-h" || (arg == "help" && words.empty())) {
      PrintHelp(stdout);
      return dmctl::kExitSucceeded;
    } else if (arg.size() > 1 && arg[0] == '-' && words.empty()) {
      std::fprintf(stderr, "dmctl: unknown option %s\n", arg.c_str());
      return dmctl::kExitUsage;
    } else {
      words.push_back(arg);
    }
  }
  if (words.empty()) {
    PrintHelp(stderr);
    return dmctl::kExitUsage;
  }

  // The longest command whose words begin the command line.
  const std::vector<dmctl::Command> commands = dmctl::AllCommands();
  const dmctl::Command* chosen = nullptr;
  for (const dmctl::Command& c : commands) {
    if (c.words.size() > words.size()) continue;
    bool matches = true;
    for (size_t i = 0; i < c.words.size() && matches; ++i) matches = c.words[i] == words[i];
    if (matches && (chosen == nullptr || c.words.size() > chosen->words.size())) chosen = &c;
  }
  if (chosen == nullptr) {
    std::string line;
    for (const std::string& w : words) line += (line.empty() ? "" : " ") + w;
    std::fprintf(stderr, "dmctl: no command \"%s\" (try dmctl help)\n", line.c_str());
    return dmctl::kExitUsage;
  }

  dmctl::Output out(json);
  const dmctl::Invocation invocation{
      std::vector<std::string>(words.begin() + static_cast<long>(chosen->words.size()),
                               words.end()),
      &out};
  const int status = chosen->run(invocation);
  if (status == dmctl::kExitUsage) {
    std::string name;
    for (const std::string& w : chosen->words) name += w + " ";
    std::fprintf(stderr, "usage: dmctl %s%s\n", name.c_str(), chosen->usage.c_str());
    return status;
  }
  out.Print();
  return status;
}
