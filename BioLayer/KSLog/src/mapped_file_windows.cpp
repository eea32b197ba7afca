// mapped_file_windows.cpp - mapped_file.h on Windows: extents reserved by
// extending the file under a byte-range lock, and file-mapping views.
//
// Windows refuses to cut a file while a view of it exists, so no store into
// a view can find its page gone: another program's attempt to cut the file
// fails instead.  A rename (rotation) or a deletion is followed: the path is
// compared with the open file every tenth of a second.
#ifdef _WIN32

#include "mapped_file.h"

#include <windows.h>

#include <cstring>

#include "destination.h"

namespace kslog {
namespace {

// The same two lock bytes as on POSIX: shared on the first while this
// process writes the file, exclusive on the second while it grows or cuts it.
constexpr uint64_t kWritersByte = uint64_t{1} << 62;
constexpr uint64_t kGrowingByte = kWritersByte + 1;

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

bool LockByte(HANDLE file, uint64_t byte, bool exclusive, bool wait) {
  OVERLAPPED at = At(byte);
  const DWORD flags =
      (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  return LockFileEx(file, flags, 0, 1, 0, &at) != 0;
}

void UnlockByte(HANDLE file, uint64_t byte) {
  OVERLAPPED at = At(byte);
  UnlockFileEx(file, 0, 1, 0, &at);
}

class GrowingLock {
 public:
  explicit GrowingLock(HANDLE file)
      : file_(file), held_(LockByte(file, kGrowingByte, true, true)) {}
  ~GrowingLock() {
    if (held_) UnlockByte(file_, kGrowingByte);
  }
  GrowingLock(const GrowingLock&) = delete;
  GrowingLock& operator=(const GrowingLock&) = delete;

 private:
  HANDLE file_;
  bool held_;
};

bool FileSize(HANDLE file, uint64_t* size) {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(file, &value)) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool SetFileSize(HANDLE file, uint64_t size) {
  FILE_END_OF_FILE_INFO info{};
  info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return SetFileInformationByHandle(file, FileEndOfFileInfo, &info, sizeof(info)) != 0;
}

bool WriteAt(HANDLE file, uint64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    OVERLAPPED at = At(offset);
    const DWORD chunk =
        bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, &at) || written == 0) return false;
    bytes.remove_prefix(written);
    // Both offset words all ones: "at the end of the file", again.
    if (offset != UINT64_MAX) offset += written;
  }
  return true;
}

// Makes the file plain text again after a killed writer (PlanRepair).  Runs
// while no other process writes the file.
void RepairFile(HANDLE file) {
  uint64_t size = 0;
  if (!FileSize(file, &size) || size == 0) return;
  const uint64_t start = size > kRepairSpan ? size - kRepairSpan : 0;
  std::string tail(static_cast<size_t>(size - start), '\0');
  for (size_t done = 0; done < tail.size();) {
    OVERLAPPED at = At(start + done);
    DWORD read = 0;
    if (!ReadFile(file, tail.data() + done, static_cast<DWORD>(tail.size() - done), &read, &at) ||
        read == 0) {
      return;
    }
    done += read;
  }
  const Repair repair = PlanRepair(tail);
  for (const Repair::Hole& hole : repair.holes) {
    WriteAt(file, start + hole.offset, HoleFiller(hole.size));
  }
  if (repair.keep < tail.size()) SetFileSize(file, start + repair.keep);
}

uint64_t AllocationGranularity() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwAllocationGranularity;
}

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  if (!GetFileInformationByHandle(a, &x) || !GetFileInformationByHandle(b, &y)) return true;
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

class WindowsMappedFile final : public MappedFile {
 public:
  WindowsMappedFile(HANDLE file, std::wstring path) : file_(file), path_(std::move(path)) {}
  ~WindowsMappedFile() override { CloseHandle(file_); }
  WindowsMappedFile(const WindowsMappedFile&) = delete;
  WindowsMappedFile& operator=(const WindowsMappedFile&) = delete;

  bool Reserve(uint64_t bytes, Extent* out) override {
    GrowingLock lock(file_);
    uint64_t offset = 0;
    if (!FileSize(file_, &offset)) return false;
    // Less when the disk is nearly full, down to a page.
    for (; bytes >= 4096; bytes /= 2) {
      if (SetFileSize(file_, offset + bytes)) break;
    }
    if (bytes < 4096) return false;
    const uint64_t end = offset + bytes;
    const uint64_t view_start = offset & ~(AllocationGranularity() - 1);
    const size_t view_size = static_cast<size_t>(end - view_start);
    void* view = nullptr;
    if (HANDLE mapping = CreateFileMappingW(file_, nullptr, PAGE_READWRITE, 0, 0, nullptr)) {
      view = MapViewOfFile(mapping, FILE_MAP_WRITE, static_cast<DWORD>(view_start >> 32),
                           static_cast<DWORD>(view_start), view_size);
      CloseHandle(mapping);  // the view keeps the mapping alive
    }
    if (view == nullptr) {
      SetFileSize(file_, offset);
      return false;
    }
    *out = ExtentInView(view, view_start, offset, bytes);
    return true;
  }

  void Seal(const Extent& extent, uint64_t used) override {
    if (used >= extent.size) {
      Abandon(extent);
      return;
    }
    GrowingLock lock(file_);
    const uint64_t end = extent.offset + extent.size;
    uint64_t size = 0;
    const bool known = FileSize(file_, &size);
    const std::string filler = HoleFiller(extent.size - used);
    if (known && size > end) {  // others appended after it
      std::memcpy(extent.data + used, filler.data(), filler.size());
      Abandon(extent);
      return;
    }
    Abandon(extent);  // a mapped file cannot be cut
    // Another process's mapping may still cover the end: then it stays, as
    // a line of spaces.
    if (known && size == end && !SetFileSize(file_, extent.offset + used)) {
      WriteAt(file_, extent.offset + used, filler);
    }
  }

  void Abandon(const Extent& extent) override { UnmapViewOfFile(extent.view); }

  bool Append(std::string_view line) override {
    GrowingLock lock(file_);
    return WriteAt(file_, UINT64_MAX, line);
  }

  FileChange Check(const Extent*) override {
    FILE_STANDARD_INFO standard{};
    if (GetFileInformationByHandleEx(file_, FileStandardInfo, &standard, sizeof(standard)) &&
        standard.DeletePending) {
      return FileChange::kReplaced;
    }
    const HANDLE named =
        CreateFileW(path_.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                 ? FileChange::kReplaced
                 : FileChange::kNone;
    }
    const bool same = SameFile(file_, named);
    CloseHandle(named);
    return same ? FileChange::kNone : FileChange::kReplaced;
  }

 private:
  const HANDLE file_;
  const std::wstring path_;
};

}  // namespace

std::unique_ptr<MappedFile> MappedFile::Open(const std::string& path) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) return nullptr;
  const HANDLE file =
      CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return nullptr;
  }
  if (LockByte(file, kWritersByte, true, false)) {  // the only writer: repair, then share
    RepairFile(file);
    UnlockByte(file, kWritersByte);
  }
  LockByte(file, kWritersByte, false, true);
  return std::make_unique<WindowsMappedFile>(file, wide);
}

uint64_t LostStores() { return 0; }

void StopGuardingMappings() {}

}  // namespace kslog

#endif  // _WIN32
