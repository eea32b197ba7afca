// Worker methods whose families are not built yet.  Each answers 0 and
// touches nothing: no store call, no log line, no write to its arguments.
// A family moves out of this file into one of its own when it is built.
#include "DataManagerUtils.h"

namespace dm {

BOOL DataManagerUtils::SubmitRegistration() { return FALSE; }

}  // namespace dm
