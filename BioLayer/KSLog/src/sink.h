// sink.h - the one sink of KSLogSink.h: installing it and calling it.
#ifndef KSLOG_SRC_SINK_H_
#define KSLOG_SRC_SINK_H_

#include "KSLogSink.h"

namespace kslog {

// Installs `fn` with `user`, or removes the sink when fn is null.  Answers
// once no call into the previous sink is in progress (except one on the
// calling thread, when a sink replaces itself).
void InstallSink(KSLogSinkFn fn, void* user);

// True when a sink may be installed: a cheap look, so that LogEx can skip
// building a record nobody wants.
bool SinkInstalled();

// Hands `record` to the sink, if one is installed, one call at a time.  Does
// nothing when called from inside the sink itself, so a sink that logs does
// not call itself forever.  Answers false when the sink threw.
bool DeliverToSink(const KSLogRecord& record);

}  // namespace kslog

#endif  // KSLOG_SRC_SINK_H_
