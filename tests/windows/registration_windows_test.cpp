// SubmitRegistration on Windows: CryptoAPI encrypts, WinINet sends the GET
// through the proxy the user's Internet settings name, here a loopback
// server; the ciphertext is the Linux build's for the same text and key.
#include <winsock2.h>
#include <windows.h>

#include <future>
#include <string>

#include "DataManager.h"
#include "registration/Deployment.h"
#include "registration/Encodings.h"
#include "support/DataManagerTest.h"

namespace dm::test {
namespace {

using RegistrationWindows = DataManagerTest;

// One HTTP request served on 127.0.0.1: 200 answered, its request line kept.
class LoopbackServer {
 public:
  LoopbackServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        listen(listener_, 1) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    line_ = std::async(std::launch::async, [this] { return ServeOne(); });
  }
  ~LoopbackServer() {
    closesocket(listener_);  // ends a wait that no request came to
    if (line_.valid()) line_.wait();
    WSACleanup();
  }

  uint16_t port() const { return port_; }
  std::string line() { return line_.get(); }

 private:
  std::string ServeOne() {
    const SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return "";
    std::string request;
    char buffer[1024];
    int got = 0;
    while (request.find("\r\n\r\n") == std::string::npos &&
           (got = recv(client, buffer, sizeof buffer, 0)) > 0) {
      request.append(buffer, static_cast<size_t>(got));
    }
    const char answer[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    send(client, answer, sizeof answer - 1, 0);
    closesocket(client);
    return request.substr(0, request.find("\r\n"));
  }

  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  std::future<std::string> line_;
};

// The user's Internet settings name a proxy while this lives.
class ProxySettings {
 public:
  explicit ProxySettings(uint16_t port) {
    const DWORD enable = 1;
    const std::wstring server = L"127.0.0.1:" + std::to_wstring(port);
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"ProxyEnable", REG_DWORD, &enable, sizeof enable);
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"ProxyServer", REG_SZ, server.c_str(),
                    static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t)));
  }
  ~ProxySettings() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"ProxyEnable");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"ProxyServer");
  }

 private:
  static constexpr wchar_t kKey[] =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
};

TEST_P(RegistrationWindows, AFreshIdentitySendsTheKnownCiphertextThroughTheProxy) {
  LoopbackServer server;
  ASSERT_NE(server.port(), 0);
  ProxySettings proxy(server.port());
  EXPECT_EQ(::SubmitRegistration(), 0);
  // WinINet names the port in the address it gives a proxy.
  const std::string prefix =
      std::string("GET http://") + registration::Host() + ":80/gather.aspx?data=";
  const std::string line = server.line();
  ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
  if (registration::HasDevelopmentSecrets()) {
    // The Linux build's vector: 'r' and 27 ';' under the development key
    // and IV (tests/datamanager/registration_test.cpp).
    EXPECT_EQ(line.substr(prefix.size()),
              registration::PercentEncode("lWLmLEtBG4UcdGW3WLylRYE3U+WZNiBucB7bYUIIDTA=") +
                  " HTTP/1.1");
  }
}

DM_ON_EVERY_BACKEND(RegistrationWindows);

}  // namespace
}  // namespace dm::test
