// dmctl - the command line of DataManager.
//
//   dmctl [--json] [--log] <family> <command> [arguments]
//   dmctl <family> <command> --help    that command's usage and help
//   dmctl --version
//
// --json prints one JSON object instead of readable lines (Output.h tells
// its shape); --log echoes the call's log lines to standard error.  The exit
// status is 0 when the export succeeded, 1 when it failed and 2 for a wrong
// command line.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Command.h"

#ifndef DMCTL_VERSION
#define DMCTL_VERSION "1.0.0"
#endif

namespace {

std::string Words(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) line += w + " ";
  return line;
}

void PrintCommand(std::FILE* to, const dmctl::Command& c) {
  const std::string line = Words(c.words) + c.usage;
  if (line.size() < 28) {
    std::fprintf(to, "  %-28s %s\n", line.c_str(), c.help.c_str());
  } else {  // the help on a line of its own
    std::fprintf(to, "  %s\n  %-28s %s\n", line.c_str(), "", c.help.c_str());
  }
}

// The whole help.  It is also the source of the manual page (help2man)
// and of the shell completion, which read it from the program: keep its
// layout (sections ending in a colon, two-space indented entries).
void PrintHelp(std::FILE* to) {
  std::fprintf(to,
               "Usage: dmctl [--json] [--log] <command> [arguments]\n"
               "  or:  dmctl <command> --help\n"
               "  or:  dmctl --version\n\n"
               "Shows and changes what DataManager keeps for the user: logon profiles,\n"
               "quick launches, shortcuts, settings, the identity card, and the store\n"
               "that holds them.  Every command calls DataManager's exports.\n\n"
               "Options:\n"
               "  --json                       print one JSON object instead of readable lines\n"
               "  --log                        echo the log lines of each call to standard error\n"
               "  --help                       this help; after a command, that command's help\n"
               "  --version                    print dmctl's version\n\n"
               "Commands:\n");
  for (const dmctl::Command& c : dmctl::AllCommands()) PrintCommand(to, c);
  std::fprintf(to,
               "\nEnvironment:\n"
               "  KEELAPI_DB                   the store's database file, instead of the one in the home folder\n"
               "  KSLOG_FILE                   the log file, - for standard error, off for none\n"
               "  CommonProgramFiles           the folder whose Halvorn folder holds the store library\n"
               "\nExit status:\n"
               "  0                            success\n"
               "  1                            the export or operation failed (one line on standard error says why)\n"
               "  2                            wrong command line\n");
}

// `dmctl <words> --help` when the words are not a whole command: every
// command they begin; false when there is none.
bool PrintCommandsBeginning(const std::vector<std::string>& words) {
  bool any = false;
  for (const dmctl::Command& c : dmctl::AllCommands()) {
    if (c.words.size() > words.size() && std::equal(words.begin(), words.end(), c.words.begin())) {
      if (!any) std::printf("Commands:\n");
      PrintCommand(stdout, c);
      any = true;
    }
  }
  return any;
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
  bool help = false;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--log") {
      EchoLogToStandardError();
    } else if (arg == "--version" && words.empty()) {
      std::printf("dmctl %s\n", DMCTL_VERSION);
      return dmctl::kExitSucceeded;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "help" && words.empty()) {
      help = true;  // dmctl help [<command>]
    } else if (arg.size() > 1 && arg[0] == '-' && words.empty()) {
      std::fprintf(stderr, "dmctl: unknown option %s\n", arg.c_str());
      return dmctl::kExitUsage;
    } else {
      words.push_back(arg);
    }
  }
  if (help && words.empty()) {
    PrintHelp(stdout);
    return dmctl::kExitSucceeded;
  }
  if (words.empty()) {
    PrintHelp(stderr);
    return dmctl::kExitUsage;
  }
  // The longest command whose words begin the command line.
  const std::vector<dmctl::Command> commands = dmctl::AllCommands();
  const dmctl::Command* chosen = nullptr;
  for (const dmctl::Command& c : commands) {
    if (c.words.size() <= words.size() && std::equal(c.words.begin(), c.words.end(), words.begin()) &&
        (chosen == nullptr || c.words.size() > chosen->words.size())) {
      chosen = &c;
    }
  }
  if (help && chosen != nullptr) {
    std::printf("usage: dmctl %s%s\n\n%s\n", Words(chosen->words).c_str(),
                chosen->usage.c_str(), chosen->help.c_str());
    return dmctl::kExitSucceeded;
  }
  if (help && PrintCommandsBeginning(words)) return dmctl::kExitSucceeded;
  if (chosen == nullptr) {
    const std::string line = Words(words);
    std::fprintf(stderr, "dmctl: no command \"%s\" (try dmctl help)\n",
                 line.substr(0, line.size() - 1).c_str());
    return dmctl::kExitUsage;
  }

  dmctl::Output out(json);
  const dmctl::Invocation invocation{
      std::vector<std::string>(words.begin() + static_cast<long>(chosen->words.size()),
                               words.end()),
      &out};
  const int status = chosen->run(invocation);
  if (status == dmctl::kExitUsage) {
    std::fprintf(stderr, "usage: dmctl %s%s\n", Words(chosen->words).c_str(),
                 chosen->usage.c_str());
    return status;
  }
  out.Print();
  return status;
}
