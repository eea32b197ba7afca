// The process-wide choice of Env.
#include "platform/Env.h"

namespace dm {
namespace {
Env* g_env = nullptr;  // null: the default
}  // namespace

Env* CurrentEnv() { return g_env != nullptr ? g_env : DefaultEnv(); }

Env* SetEnv(Env* env) {
  Env* previous = CurrentEnv();
  g_env = env;
  return previous;
}

}  // namespace dm
