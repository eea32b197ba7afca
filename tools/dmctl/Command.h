// Command.h - how dmctl's commands are declared and run.
#ifndef DMCTL_COMMAND_H
#define DMCTL_COMMAND_H

#include <cstdint>
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
std::vector<Command> ProfileCsvCommands();  // import and export
std::vector<Command> VcardCommands();
std::vector<Command> BioCommands();
std::vector<Command> VipCommands();
std::vector<Command> QlCommands();
std::vector<Command> ShortcutCommands();
std::vector<Command> RegisterCommands();

// Parse a whole number, decimal or 0x hex (0 alone begins octal); false for
// anything else, a sign on an unsigned number included.
bool ParseDword(const std::string& text, unsigned long* value);  // unsigned 32-bit
bool ParseUint64(const std::string& text, uint64_t* value);
bool ParseInt32(const std::string& text, int32_t* value);

class PrivateFile;

// Opens `path` for what a command writes out of the store (PrivateFile.h),
// replacing an existing file only when `force`.  False when it cannot, with
// `cannot_write` (and `exists`) in the output and one line on standard error.
bool OpenExportFile(Output* out, const std::string& path, bool force, PrivateFile* file);

// Shows under `key` whether the export succeeded (its BOOL) and answers the
// exit status.
int Report(Output* out, const char* key, int bRet);

}  // namespace dmctl

#endif  // DMCTL_COMMAND_H
