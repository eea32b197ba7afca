// temp_folder.h - a folder of a test's own under the temporary folder,
// removed with everything in it when the test is done.
#ifndef KEELAPI_TEST_TEMP_FOLDER_H
#define KEELAPI_TEST_TEMP_FOLDER_H

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

namespace keeltest {

class TempFolder {
 public:
  // Under `parent`, or under the system's temporary folder when empty.
  explicit TempFolder(const std::string& parent = "") {
    std::string pattern =
        (parent.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(parent))
            .string() +
        "/keel-test-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
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
