// Command.h - how dmctl's commands are declared and run.
#ifndef DMCTL_COMMAND_H
#define DMCTL_COMMAND_H

#include <string>
#include <vector>

#include "Output.h"

namespace dmctl {

// Exit statuses: the export's result decides between the first two.
inline constexpr int kExitSucceeded = 0;
inline constexpr int kExitFailed = 1;    // the export answered failure
inline constexpr int kExitUsage = 2;     // the command line was wrong

struct Invocation {
  std::vector<std::string> args;  // what follows the command's own words
  Output* out;
};

struct Command {
  std::vector<std::string> words;  // e.g. {"settings", "skin", "get"}
  std::string usage;               // arguments, e.g. "<index>"
  std::string help;
  int (*run)(const Invocation&);
};

// Every command of every family, in the order `dmctl help` lists them.
std::vector<Command> AllCommands();

// Families register their commands here.
std::vector<Command> StoreCommands();
std::vector<Command> SettingsCommands();
std::vector<Command> ProfileCommands();

// Where the store library that DataManager loaded lives, or an empty text
// when none is loaded in this process.
std::string LoadedStorePath();

// Parses a whole unsigned 32-bit number; false for anything else.
bool ParseDword(const std::string& text, unsigned long* value);

}  // namespace dmctl

#endif  // DMCTL_COMMAND_H
