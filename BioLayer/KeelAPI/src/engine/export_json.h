// export_json.h - a store's contents as one JSON document, for support.
#ifndef KEEL_ENGINE_EXPORT_JSON_H
#define KEEL_ENGINE_EXPORT_JSON_H

#include "KeelAPI.h"
#include "KeelAPIAdmin.h"
#include "sys/KeelBackend.h"

namespace keel {

// Writes every object of `backend` with its properties, in the document
// format of KeelAdmin_Export, through `sink`: one piece per object, then
// the closing.  Secret values are always withheld: only their size is
// written.  Runs inside the caller's transaction.  KA_OK, or the first
// failing status (the document is then cut short).
KA_STATUS ExportStore(KeelBackend* backend, KeelAdminSink sink, void* user);

}  // namespace keel

#endif  // KEEL_ENGINE_EXPORT_JSON_H
