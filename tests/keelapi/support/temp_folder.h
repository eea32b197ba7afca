// temp_folder.h - a folder of a test's own under the temporary folder,
// removed with everything in it when the test is done.
#ifndef KEELAPI_TEST_TEMP_FOLDER_H
#define KEELAPI_TEST_TEMP_FOLDER_H

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

namespace keeltest {

class TempFolder {
 public:
  // Under `parent`, or under the system's temporary folder when empty.
  explicit TempFolder(const std::string& parent = "") {
    const std::filesystem::path base =
        parent.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(parent);
    // A name nobody holds, made by creating it (mkdtemp's way, anywhere).
    std::random_device random;
    for (int draw = 0; draw < 100 && path_.empty(); ++draw) {
      const std::filesystem::path candidate = base / ("keel-test-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The bytes of a file, or "" when it cannot be read.
inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace keeltest

#endif  // KEELAPI_TEST_TEMP_FOLDER_H
