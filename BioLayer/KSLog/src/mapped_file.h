// mapped_file.h - the platform's side of a log file written through shared
// mappings: reserving zero-filled extents at the end of the file, mapping
// them, giving back what was not used, and noticing that another program
// cut, moved or deleted the file.  One implementation per platform:
// mapped_file_posix.cpp and mapped_file_windows.cpp.
//
// Every process that writes the file holds a shared lock on it; the one
// that opens it alone repairs what a killed writer left (a zero-filled
// reserved tail, a line cut short).  Growing and cutting the file happen
// under a second, exclusive lock, so that a reservation of one process never
// lands in the middle of another's give-back.
#ifndef KSLOG_SRC_MAPPED_FILE_H_
#define KSLOG_SRC_MAPPED_FILE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kslog {

// A span at the end of the file reserved for this process, mapped.
struct Extent {
  char* data = nullptr;  // its first byte in memory
  uint64_t size = 0;     // reserved bytes
  uint64_t offset = 0;   // of its first byte in the file
  void* view = nullptr;  // the whole mapping (starting at a page boundary)
  size_t view_size = 0;
};

// The extent of `size` bytes at `offset` in the file, in a view of the file
// from `view_start` on (a boundary the platform maps at) that maps it.
Extent ExtentInView(void* view, uint64_t view_start, uint64_t offset, uint64_t size);

// What another program did to the file since it was opened.
enum class FileChange {
  kNone,
  kCut,       // it is shorter than the extent asked about
  kReplaced,  // its path names another file now, or none (rotated, deleted)
};

class MappedFile {
 public:
  // Opens `path` (UTF-8), creating it for its user only, and repairs it
  // when no other process has it open.  Null when it is not a regular file
  // or cannot be opened for reading and writing.
  static std::unique_ptr<MappedFile> Open(const std::string& path);

  virtual ~MappedFile() = default;

  // Appends up to `bytes` zero bytes and maps them into *out: fewer when the
  // disk or the process's file size limit runs out.  False when none could
  // be reserved or mapped.
  virtual bool Reserve(uint64_t bytes, Extent* out) = 0;

  // Gives back the end of `extent` from byte `used` on (relative to its
  // start) and unmaps it: the file is cut there when the extent is still
  // its end; otherwise the unused bytes become one line of spaces.
  virtual void Seal(const Extent& extent, uint64_t used) = 0;

  // Unmaps `extent` without touching the file (another program cut it).
  virtual void Abandon(const Extent& extent) = 0;

  // Appends `line` in one write, without a mapping (lines too long for an
  // extent, or after the destination finished).
  virtual bool Append(std::string_view line) = 0;

  // What happened to the file; `extent` (null when there is none) is the
  // one a kCut answer is about.
  virtual FileChange Check(const Extent* extent) = 0;
};

// What a killed writer left at the end of a file, and how to make it plain
// text again: the zero-filled tail it had reserved goes, and so does a line
// it left without its end; zero bytes further in (reserved by a writer
// killed while others went on) become a line of spaces.
struct Repair {
  size_t keep = 0;  // bytes of the tail to keep
  struct Hole {
    size_t offset, size;
  };
  std::vector<Hole> holes;  // runs of zeros within what is kept
};

// How much of its end a repair looks at: a killed writer leaves at most its
// extent unfinished, and the last few extents' worth finds what writers
// killed lately left.
constexpr uint64_t kRepairSpan = uint64_t{4} << 20;

// The repair of a file whose last bytes are `tail`.
Repair PlanRepair(std::string_view tail);

// The bytes that fill a hole of `size` bytes: spaces ending in a line break.
std::string HoleFiller(size_t size);

// How many times a store into a mapping of ours found the file cut under it
// (the page was replaced by private memory and the line lost).  Stays 0
// where the platform does not let a mapped file be cut.
uint64_t LostStores();

// Puts back the handler that the platform's guard of mappings replaced, if
// it is still ours: the library is being unloaded, and its code with it.
void StopGuardingMappings();

}  // namespace kslog

#endif  // KSLOG_SRC_MAPPED_FILE_H_
