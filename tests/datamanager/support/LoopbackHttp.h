// LoopbackHttp.h - a tiny HTTP/1.1 server on 127.0.0.1 for the tests of the
// platform's HTTP client, meant to stand as its proxy.
//
// It listens on an ephemeral port and serves from a thread of its own: each
// connection gets one request head read and recorded, a fixed status with a
// small body, and is closed.  The server stops on destruction, or by itself
// after five seconds, so no test can wait on it forever.  Made with
// `listening` false, it holds its port without listening: every connection
// is refused at once.  As a proxy, a GET of http://host/path reaches it as
// "GET http://host/path HTTP/1.1".  POSIX only.
#ifndef DM_TESTS_LOOPBACK_HTTP_H
#define DM_TESTS_LOOPBACK_HTTP_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/scoped_env.h"

namespace dm::test {

class LoopbackHttp {
 public:
  struct Request {
    std::string line;                            // without CRLF
    std::map<std::string, std::string> headers;  // names in lower case

    std::optional<std::string> Header(std::string name) const {
      const auto found = headers.find(Lower(std::move(name)));
      return found == headers.end() ? std::nullopt : std::optional<std::string>(found->second);
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
  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }

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
      ssize_t n = 1;
      while (head.find("\r\n\r\n") == std::string::npos && n > 0 && Readable(connection)) {
        n = ::recv(connection, chunk, sizeof chunk, 0);
        head.append(chunk, static_cast<size_t>(std::max<ssize_t>(n, 0)));
      }
      if (head.find("\r\n\r\n") != std::string::npos) {
        Record(head);
        const std::string answer = "HTTP/1.1 " + std::to_string(status_) +
                                   " Answer\r\nContent-Length: 4\r\nConnection: close\r\n\r\ndone";
        (void)!::send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
      }
      ::close(connection);
    }
  }

  void Record(const std::string& head) {
    Request request;
    for (size_t start = 0, end; (end = head.find("\r\n", start)) != start; start = end + 2) {
      const std::string line = head.substr(start, end - start);
      const size_t colon = line.find(':');
      if (start == 0) {
        request.line = line;
      } else if (colon != std::string::npos) {
        const size_t value = line.find_first_not_of(" \t", colon + 1);
        request.headers[Lower(line.substr(0, colon))] =
            value == std::string::npos ? "" : line.substr(value);
      }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(request));
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
