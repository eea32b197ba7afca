// LoopbackHttp.h - a tiny HTTP/1.1 server on 127.0.0.1, the proxy of the
// platform's HTTP client in the tests (POSIX only).
//
// From a thread of its own it records each connection's request head and
// answers it with a fixed status, until destroyed or for five seconds at
// most, so that no test waits on it for ever.  Made with `listening` false,
// it holds its port without listening: every connection is refused.  As a
// proxy it gets a GET of http://host/path as "GET http://host/path HTTP/1.1".
#ifndef DM_TESTS_LOOPBACK_HTTP_H
#define DM_TESTS_LOOPBACK_HTTP_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/scoped_env.h"

namespace dm::test {

class LoopbackHttp {
 public:
  struct Request {
    std::string line;                 // without CRLF
    std::vector<std::string> fields;  // the header lines, as sent

    // The value of a header field, named in any case.
    std::optional<std::string> Header(const std::string& name) const {
      for (const std::string& f : fields) {
        if (f.size() > name.size() && f[name.size()] == ':' &&
            ::strncasecmp(f.c_str(), name.c_str(), name.size()) == 0) {
          return f.substr(std::min(f.find_first_not_of(" \t", name.size() + 1), f.size()));
        }
      }
      return std::nullopt;
    }
  };

  explicit LoopbackHttp(int status = 200, bool listening = true) : status_(status) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    if (listening && ::listen(fd_, 8) == 0) thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackHttp() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  LoopbackHttp(const LoopbackHttp&) = delete;
  LoopbackHttp& operator=(const LoopbackHttp&) = delete;

  uint16_t port() const { return port_; }  // 0 when no port could be had

  std::vector<Request> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  // Waits until `fd` is readable, the server is stopped or its time is up.
  bool Readable(int fd) const {
    pollfd entry{fd, POLLIN, 0};
    while (!stop_ && std::chrono::steady_clock::now() < deadline_) {
      if (::poll(&entry, 1, 20) > 0) return true;
    }
    return false;
  }

  void Serve() {
    while (Readable(fd_)) {
      const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      std::string head;
      char chunk[1024];
      for (ssize_t n = 1; head.find("\r\n\r\n") == std::string::npos && n > 0 &&
                          Readable(connection);) {
        n = ::recv(connection, chunk, sizeof chunk, 0);
        head.append(chunk, static_cast<size_t>(std::max<ssize_t>(n, 0)));
      }
      const size_t end = head.find("\r\n\r\n");
      if (end != std::string::npos) {
        Request request;
        for (size_t at = 0, next = 0; next < end; at = next + 2) {
          next = head.find("\r\n", at);
          (at == 0 ? request.line : request.fields.emplace_back()) = head.substr(at, next - at);
        }
        {
          std::lock_guard<std::mutex> lock(mutex_);
          requests_.push_back(std::move(request));
        }
        const std::string answer = "HTTP/1.1 " + std::to_string(status_) +
                                   " Answer\r\nContent-Length: 4\r\nConnection: close\r\n\r\ndone";
        (void)!::send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
      }
      ::close(connection);
    }
  }

  const int status_;
  const std::chrono::steady_clock::time_point deadline_ =
      std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int fd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<Request> requests_;
  std::thread thread_;
};

// Sends the plain-HTTP requests of this process through a proxy at
// 127.0.0.1:port (http_proxy, with no_proxy and NO_PROXY removed) while it
// lives, and puts the three variables back as they were.
class ProxyEnvironment {
 public:
  explicit ProxyEnvironment(uint16_t port)
      : proxy_("http_proxy", "http://127.0.0.1:" + std::to_string(port)) {}

 private:
  testenv::ScopedEnv proxy_;
  testenv::ScopedEnv no_proxy_{"no_proxy", std::nullopt};
  testenv::ScopedEnv no_proxy_upper_{"NO_PROXY", std::nullopt};
};

}  // namespace dm::test

#endif  // DM_TESTS_LOOPBACK_HTTP_H
