// SecretInput.h - reading a secret (a password) from standard input without
// showing it on the terminal.  One implementation per platform.
#ifndef DMCTL_SECRET_INPUT_H
#define DMCTL_SECRET_INPUT_H

namespace dmctl {

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
