// mapped_destination.h - a log file written by copying each line into a
// shared mapping of the file: the fast path of KSLog.
//
// The process reserves an extent at the end of the file (mapped_file.h) and
// its threads take their place in it with one atomic step each, then copy
// their line.  A line is in the system's page cache, part of the file, as
// soon as the copy ends: a process killed right after LogEx returns loses
// nothing that was finished.  A full extent is given back (its unused end
// cut off) and the next one reserved.  Lines longer than a quarter of an
// extent, and all lines once the destination finished, are plain appends.
#ifndef KSLOG_SRC_MAPPED_DESTINATION_H_
#define KSLOG_SRC_MAPPED_DESTINATION_H_

#include <memory>
#include <string>

#include "destination.h"
#include "mapped_file.h"

namespace kslog {

// A destination writing through `file` (reopened at `path` when another
// program moves or deletes it).
std::unique_ptr<Destination> MakeMappedDestination(const std::string& path,
                                                   std::unique_ptr<MappedFile> file);

}  // namespace kslog

#endif  // KSLOG_SRC_MAPPED_DESTINATION_H_
