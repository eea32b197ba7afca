// Reading a secret line, on top of the platform's echo control.
#include <cstdio>
#include <iostream>

#include "SecretInput.h"

namespace dmctl {

bool ReadSecretLine(const char* prompt, std::string* secret) {
  const bool terminal = InputIsTerminal();
  if (terminal) std::fprintf(stderr, "%s: ", prompt);
  const bool quiet = terminal && DisableEcho();
  const bool read = static_cast<bool>(std::getline(std::cin, *secret));
  if (quiet) {
    RestoreEcho();
    std::fprintf(stderr, "\n");
  }
  if (!secret->empty() && secret->back() == '\r') secret->pop_back();
  return read;
}

}  // namespace dmctl
