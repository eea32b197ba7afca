// child_process.h - child processes for the tests of what spans processes.
// POSIX: a body run in a forked child, how the child ended, and pipes to
// pace it.  Windows, which has no fork: this test program started again to
// run one test (a GoogleTest filter) on a given database, its standard
// output a pipe the parent reads line by line; a test that only makes sense
// as a child asks ChildDatabase() and skips itself when run on its own.
#ifndef TESTS_COMMON_CHILD_PROCESS_H
#define TESTS_COMMON_CHILD_PROCESS_H

#ifdef _WIN32
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#else
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#endif

namespace testchild {

#ifdef _WIN32

inline constexpr char kChildDatabase[] = "TESTCHILD_DATABASE";

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
      Kill();
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

#else

// Runs `body` in a child process, which exits with its answer without
// running this process's exit handlers (a body may call std::exit to run
// them).
inline pid_t Spawn(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  return child;
}

// The child's exit code, or 128 + the signal that ended it.
inline int WaitFor(pid_t child) {
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A pipe, both ends closed with it.  A child inherits both; the parent
// closes the write end once all writers are forked, so that a child that
// dies unheard ends the parent's reads.
class Pipe {
 public:
  Pipe() {
    if (pipe(ends_) != 0) ends_[0] = ends_[1] = -1;
  }
  ~Pipe() {
    for (const int end : ends_) {
      if (end >= 0) close(end);
    }
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  bool ok() const { return ends_[0] >= 0; }
  int read_end() const { return ends_[0]; }
  int write_end() const { return ends_[1]; }
  void CloseWriteEnd() {
    close(ends_[1]);
    ends_[1] = -1;
  }
  // One byte each way: a signal between the processes.
  bool Send() const { return write(ends_[1], "s", 1) == 1; }
  bool Receive() const {
    char byte = 0;
    return read(ends_[0], &byte, 1) == 1;
  }

 private:
  int ends_[2];
};

#endif

}  // namespace testchild

#endif  // TESTS_COMMON_CHILD_PROCESS_H
