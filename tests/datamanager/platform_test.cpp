// The platform's own services, called through the default Env: loading the
// store and finding its functions by name, AES-128-CBC against vectors made
// with the openssl command line, and HTTP GETs through a loopback proxy.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/Env.h"
#include "platform/TextCodec.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "common/scoped_env.h"
#endif

namespace dm::test {
namespace {

WString Wide(const std::string& text) {
  WString wide;
  platform::Utf8ToWide(text, &wide);
  return wide;
}

std::string Hex(const std::string& bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const unsigned char b : bytes) hex += {kDigits[b >> 4], kDigits[b & 15]};
  return hex;
}

// A function is found only among the store's own exports: not a function it
// lacks, nor one of a library the store itself depends on.
TEST(PlatformLibrary, FindsTheStoresOwnExportsByNameAndNothingElse) {
  Env* env = DefaultEnv();
  const ModuleHandle store = env->LoadLibrary(Wide(KEELAPI_LIBRARY_PATH));
  ASSERT_NE(store, nullptr);
  for (const char* exported : {"KA_Init", "KA_GetApp", "KA_Macro_SetProperty", "KeelAdmin_Check"}) {
    EXPECT_NE(env->GetProcAddress(store, exported), nullptr) << exported;
  }
  for (const char* absent : {"KA_Nothing", "KA_", "", "malloc", "sqlite3_open_v2"}) {
    EXPECT_EQ(env->GetProcAddress(store, absent), nullptr) << absent;
  }
  EXPECT_EQ(env->GetProcAddress(nullptr, "KA_Init"), nullptr);
  EXPECT_TRUE(env->FreeLibrary(store));
}

AesKeyBlob KeyBlob() {
  AesKeyBlob blob{8, 2, 0, 0x660E, 16, {}};
  for (uint8_t i = 0; i < 16; ++i) blob.key[i] = i;  // 000102...0f
  return blob;
}

constexpr uint8_t kIv[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                             '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};

// Each made with the openssl command line, key 000102...0f and the IV above:
//   printf '%s' "$plain" | openssl enc -aes-128-cbc
//       -K 000102030405060708090a0b0c0d0e0f -iv 30313233343536373839616263646566 | xxd -p -c 64
const std::pair<std::string, std::string> kVectors[] = {
    {"", "c8b679329b51b5982fd394cb4de6ba78"},
    {"fifteen bytes!!", "274d9d012eca704f98736e1a863a60b5"},
    {"sixteen bytes!!!", "0fbcdffc74ef32f6691b53e9487e0cc250ebec63f712f99a6d4d9ed5945909d8"},
    {"twenty-eight bytes of text!!",
     "b96f11c965c516f808eb496f40c25bd967a7ba43e2a133f27dc5ec09c6d5ef5b"},
};

TEST(PlatformEncrypt, MatchesTheReferenceAndTakesOnlyAnAes128Key) {
  for (const auto& [plain, cipherHex] : kVectors) {
    std::string cipher = "stale";
    EXPECT_TRUE(DefaultEnv()->EncryptAes128Cbc(KeyBlob(), kIv, plain, &cipher)) << plain;
    EXPECT_EQ(Hex(cipher), cipherHex) << "plain text of " << plain.size() << " bytes";
  }
  // A blob that is not an AES-128 plain-text key is refused.
  const std::pair<const char*, void (*)(AesKeyBlob&)> cases[] = {
      {"AES-256 algorithm", [](AesKeyBlob& b) { b.algorithm = 0x6610; }},
      {"blob type", [](AesKeyBlob& b) { b.type = 7; }},
      {"blob version", [](AesKeyBlob& b) { b.version = 3; }},
      {"key size", [](AesKeyBlob& b) { b.keySize = 24; }},
  };
  for (const auto& [what, spoil] : cases) {
    AesKeyBlob blob = KeyBlob();
    spoil(blob);
    std::string cipher = "stale";
    EXPECT_FALSE(DefaultEnv()->EncryptAes128Cbc(blob, kIv, "some text", &cipher)) << what;
    EXPECT_EQ(cipher, "") << what;
  }
}

#ifndef _WIN32

// A proxy on 127.0.0.1 for one request, served from a thread of its own: it
// keeps the request's head and answers `status`, waiting five seconds at
// most.  With status 0 it holds its port without listening: the connection
// is refused.
class OneRequestProxy {
 public:
  explicit OneRequestProxy(int status) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const timeval limit{5, 0};  // for the accept and every read
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) == 0) {
      port_ = ntohs(address.sin_port);
    }
    if (status != 0 && ::listen(fd_, 1) == 0) {
      server_ = std::thread([this, status] { Serve(status); });
    }
  }
  ~OneRequestProxy() {
    Head();
    ::close(fd_);
  }

  uint16_t port() const { return port_; }
  const std::string& Head() {
    if (server_.joinable()) server_.join();
    return head_;
  }

 private:
  void Serve(int status) {
    const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);  // -1 on time-out
    char chunk[1024];
    for (ssize_t n = 1; n > 0 && head_.find("\r\n\r\n") == std::string::npos;) {
      n = ::recv(connection, chunk, sizeof chunk, 0);
      head_.append(chunk, static_cast<size_t>(std::max<ssize_t>(n, 0)));
    }
    const std::string answer = "HTTP/1.1 " + std::to_string(status) +
                               " Answer\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    (void)!::send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
    ::close(connection);
  }

  const int fd_;
  uint16_t port_ = 0;
  std::string head_;
  std::thread server_;
};

// One GET through the proxy of http_proxy; any status is an answer, a
// refused connection none.  curl leaves the default port out.
TEST(PlatformHttpGet, SendsOneGetThroughTheProxyWithItsPortAndAgent) {
  const std::string agent = "DataManager platform test/1.0";
  struct Case {
    int status;
    uint16_t port;
    std::string host;  // as sent
  };
  for (const Case& c : {Case{200, 80, "registration.example"},
                        Case{404, 8080, "registration.example:8080"}, Case{0, 80, ""}}) {
    SCOPED_TRACE(c.status);
    OneRequestProxy proxy(c.status);
    ASSERT_NE(proxy.port(), 0);
    testenv::ScopedEnv through("http_proxy", "http://127.0.0.1:" + std::to_string(proxy.port()));
    testenv::ScopedEnv direct("no_proxy", std::nullopt), directToo("NO_PROXY", std::nullopt);
    EXPECT_EQ(DefaultEnv()->HttpGet(Wide(agent), Wide("registration.example"), c.port,
                                    Wide("/gather.aspx?data=abc")),
              c.status != 0);
    const std::string& head = proxy.Head();
    if (c.status == 0) continue;
    EXPECT_EQ(head.substr(0, head.find("\r\n")),
              "GET http://" + c.host + "/gather.aspx?data=abc HTTP/1.1");
    EXPECT_NE(head.find("\r\nUser-Agent: " + agent + "\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nHost: " + c.host + "\r\n"), std::string::npos) << head;
  }
}

#endif  // _WIN32

}  // namespace
}  // namespace dm::test
