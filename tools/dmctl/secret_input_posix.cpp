// Echo control of a POSIX terminal (termios).
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include "SecretInput.h"

namespace dmctl {
namespace {

struct termios saved;
volatile sig_atomic_t echoDisabled = 0;
struct sigaction previousInt, previousTerm;

void RestoreOnSignal(int signal) {
  // tcsetattr is async-signal-safe; the default action runs afterwards.
  if (echoDisabled != 0) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool DisableEcho() {
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return false;
  struct termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  struct sigaction action = {};
  action.sa_handler = &RestoreOnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previousInt);
  sigaction(SIGTERM, &action, &previousTerm);
  echoDisabled = 1;
  if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) != 0) {
    RestoreEcho();
    return false;
  }
  return true;
}

void RestoreEcho() {
  if (echoDisabled == 0) return;
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  echoDisabled = 0;
  sigaction(SIGINT, &previousInt, nullptr);
  sigaction(SIGTERM, &previousTerm, nullptr);
}

}  // namespace dmctl
