// child_process.h - forked children for the tests of what spans processes:
// a body run in a child, how the child ended, and pipes to pace it.
#ifndef TESTS_COMMON_CHILD_PROCESS_H
#define TESTS_COMMON_CHILD_PROCESS_H

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace testchild {

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

}  // namespace testchild

#endif  // TESTS_COMMON_CHILD_PROCESS_H
