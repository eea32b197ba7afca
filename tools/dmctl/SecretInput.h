// SecretInput.h - reading a secret (a password, a one-time password) from
// standard input without showing it on the terminal.  The echo control has
// one implementation per platform.
#ifndef DMCTL_SECRET_INPUT_H
#define DMCTL_SECRET_INPUT_H

#include <string>

namespace dmctl {

// Reads one secret: a line of standard input, without its line end, typed
// after `prompt` and without echo when standard input is a terminal.  False
// at the end of input.
bool ReadSecretLine(const char* prompt, std::string* secret);

// Whether standard input is a terminal (a console on Windows).
bool InputIsTerminal();

// Turns off the echo of the terminal on standard input.  Answers true when
// it did; RestoreEcho then puts back the settings it found.  On POSIX an
// interrupt or termination signal restores them too before the default
// action runs, so a terminal is never left silent.
bool DisableEcho();
void RestoreEcho();

}  // namespace dmctl

#endif  // DMCTL_SECRET_INPUT_H
