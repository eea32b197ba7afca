// child_process.h - the Windows tests' child processes: this test program
// started again to run one test (a GoogleTest filter) on a given database,
// its standard output a pipe the parent reads line by line.  A test that
// only makes sense as a child asks ChildDatabase() and skips itself when it
// runs as a test of its own.
#ifndef KEELAPI_TEST_WINDOWS_CHILD_PROCESS_H
#define KEELAPI_TEST_WINDOWS_CHILD_PROCESS_H

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace keeltest {

inline constexpr char kChildDatabase[] = "KEELTEST_CHILD_DATABASE";

// The database a child works on, or nothing outside a child.
inline std::optional<std::string> ChildDatabase() {
  const char* db = std::getenv(kChildDatabase);
  if (db == nullptr || *db == '\0') return std::nullopt;
  return std::string(db);
}

// One line of the child's report to its parent.
inline void Report(const std::string& line) {
  std::printf("@%s\n", line.c_str());
  std::fflush(stdout);
}

class Child {
 public:
  // Runs `test` of this program on the database `db`.
  Child(const std::string& test, const std::string& db) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end_, &write_end, &inherit, 0)) return;
    SetHandleInformation(read_end_, HANDLE_FLAG_INHERIT, 0);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=" +
                           std::wstring(test.begin(), test.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    _putenv_s(kChildDatabase, db.c_str());
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
      process_ = process.hProcess;
      CloseHandle(process.hThread);
    }
    _putenv_s(kChildDatabase, "");
    CloseHandle(write_end);
  }
  ~Child() {
    if (process_ != nullptr) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, INFINITE);
      CloseHandle(process_);
    }
    if (read_end_ != nullptr) CloseHandle(read_end_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool started() const { return process_ != nullptr; }

  // The child's next report (without its "@"), or nothing once its output
  // has ended.  Lines of GoogleTest's own are passed over.
  std::optional<std::string> NextReport() {
    for (;;) {
      std::string line;
      char c = 0;
      DWORD got = 0;
      while (ReadFile(read_end_, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
        if (c != '\r') line.push_back(c);
      }
      if (got == 0 && line.empty()) return std::nullopt;
      if (!line.empty() && line[0] == '@') return line.substr(1);
    }
  }

  // Ends the child at once, as a crash or the task manager would.
  void Kill() {
    TerminateProcess(process_, 137);
    WaitForSingleObject(process_, INFINITE);
  }

  // Waits for the child to end: its exit code.
  DWORD Wait() {
    WaitForSingleObject(process_, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process_, &code);
    return code;
  }

 private:
  HANDLE process_ = nullptr;
  HANDLE read_end_ = nullptr;
};

}  // namespace keeltest

#endif  // KEELAPI_TEST_WINDOWS_CHILD_PROCESS_H
