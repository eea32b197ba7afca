// Echo control of a Windows console.
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "SecretInput.h"

namespace dmctl {
namespace {

DWORD savedMode = 0;
bool echoDisabled = false;

}  // namespace

bool InputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool DisableEcho() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &savedMode)) return false;
  if (!SetConsoleMode(input, savedMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT))) return false;
  echoDisabled = true;
  return true;
}

void RestoreEcho() {
  if (!echoDisabled) return;
  SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), savedMode);
  echoDisabled = false;
}

}  // namespace dmctl
