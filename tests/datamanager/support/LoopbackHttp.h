// LoopbackHttp.h - a tiny HTTP/1.1 server on 127.0.0.1 for the tests of the
// platform's HTTP client, meant to stand as its proxy.
//
// It listens on an ephemeral port and serves from a thread of its own: each
// connection gets one request read (request line and headers, up to the
// blank line), recorded, and answered with a fixed status and a small body,
// then the connection is closed.  The server stops on destruction, and by
// itself once its lifetime is over, so no test can wait on it forever.
//
// As a proxy (ProxyEnvironment), a GET of http://host/path reaches it with
// the absolute address in the request line: "GET http://host/path HTTP/1.1".
// POSIX only.
#ifndef DM_TESTS_LOOPBACK_HTTP_H
#define DM_TESTS_LOOPBACK_HTTP_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace dm::test {

// A TCP socket bound to 127.0.0.1 on an ephemeral port: its descriptor
// (-1 when none could be had) and the port.
inline std::pair<int, uint16_t> BindLoopback() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {-1, 0};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return {-1, 0};
  }
  return {fd, ntohs(address.sin_port)};
}

// A loopback port that is held but not listened on: a connection to it is
// refused at once, and no other program can take the port meanwhile.
class RefusingPort {
 public:
  RefusingPort() { std::tie(fd_, port_) = BindLoopback(); }
  ~RefusingPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  uint16_t port() const { return port_; }

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

class LoopbackHttp {
 public:
  struct Request {
    std::string line;                                          // without CRLF
    std::vector<std::pair<std::string, std::string>> headers;  // as received

    // The value of the first header of this name (any case), if any.
    std::optional<std::string> Header(std::string_view name) const {
      for (const auto& [key, value] : headers) {
        if (SameLetters(key, name)) return value;
      }
      return std::nullopt;
    }
  };

  explicit LoopbackHttp(int status = 200, std::string body = "done",
                        std::chrono::milliseconds lifetime = std::chrono::seconds(5))
      : status_(status), body_(std::move(body)) {
    std::tie(listener_, port_) = BindLoopback();
    if (listener_ >= 0 && ::listen(listener_, 8) == 0) {
      const auto deadline = std::chrono::steady_clock::now() + lifetime;
      thread_ = std::thread([this, deadline] { Serve(deadline); });
    }
  }
  ~LoopbackHttp() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
  }
  LoopbackHttp(const LoopbackHttp&) = delete;
  LoopbackHttp& operator=(const LoopbackHttp&) = delete;

  // 0 when the server could not start.
  uint16_t port() const { return thread_.joinable() ? port_ : 0; }

  // The requests received so far, in order.
  std::vector<Request> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  using Clock = std::chrono::steady_clock;
  static constexpr int kPollMs = 20;

  static bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(a[i])) !=
          std::tolower(static_cast<unsigned char>(b[i]))) {
        return false;
      }
    }
    return true;
  }

  static std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
  }

  static const char* Reason(int status) {
    switch (status) {
      case 200: return "OK";
      case 404: return "Not Found";
      case 500: return "Internal Server Error";
      default: return "Answer";
    }
  }

  // Waits until `fd` is readable, the server is stopped or its time is up.
  bool Readable(int fd, Clock::time_point deadline) const {
    pollfd entry{fd, POLLIN, 0};
    while (!stop_ && Clock::now() < deadline) {
      const int ready = ::poll(&entry, 1, kPollMs);
      if (ready > 0) return true;
      if (ready < 0 && errno != EINTR) return false;
    }
    return false;
  }

  void Serve(Clock::time_point deadline) {
    while (Readable(listener_, deadline)) {
      const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      if (std::optional<Request> request = ReadRequest(connection, deadline)) {
        {
          std::lock_guard<std::mutex> lock(mutex_);
          requests_.push_back(std::move(*request));
        }
        Answer(connection);
      }
      ::close(connection);
    }
  }

  std::optional<Request> ReadRequest(int connection, Clock::time_point deadline) const {
    std::string received;
    size_t end = std::string::npos;
    char chunk[1024];
    while ((end = received.find("\r\n\r\n")) == std::string::npos) {
      if (!Readable(connection, deadline)) return std::nullopt;
      const ssize_t n = ::recv(connection, chunk, sizeof chunk, 0);
      if (n <= 0) return std::nullopt;
      received.append(chunk, static_cast<size_t>(n));
    }
    Request request;
    std::string_view head(received.data(), end + 2);  // every line ends in CRLF
    for (bool first = true; !head.empty(); first = false) {
      const size_t eol = head.find("\r\n");
      const std::string_view line = head.substr(0, eol);
      head.remove_prefix(eol + 2);
      const size_t colon = line.find(':');
      if (first) {
        request.line = line;
      } else if (colon != std::string_view::npos) {
        request.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
      }
    }
    return request;
  }

  void Answer(int connection) const {
    const std::string answer = "HTTP/1.1 " + std::to_string(status_) + " " + Reason(status_) +
                               "\r\nContent-Type: text/plain\r\nContent-Length: " +
                               std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" +
                               body_;
    size_t sent = 0;
    while (sent < answer.size()) {
      const ssize_t n =
          ::send(connection, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<size_t>(n);
    }
  }

  const int status_;
  const std::string body_;
  int listener_ = -1;
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
  explicit ProxyEnvironment(uint16_t port) {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
      ::unsetenv(name);
    }
    const std::string proxy = "http://127.0.0.1:" + std::to_string(port);
    ::setenv("http_proxy", proxy.c_str(), 1);
  }
  ~ProxyEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name, value->c_str(), 1);
      } else {
        ::unsetenv(name);
      }
    }
  }
  ProxyEnvironment(const ProxyEnvironment&) = delete;
  ProxyEnvironment& operator=(const ProxyEnvironment&) = delete;

 private:
  static constexpr const char* kNames[] = {"http_proxy", "no_proxy", "NO_PROXY"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

}  // namespace dm::test

#endif  // DM_TESTS_LOOPBACK_HTTP_H
