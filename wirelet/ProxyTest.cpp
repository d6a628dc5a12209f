// The proxy handshakes against real proxy servers from Debian's packages
// (dante-server, microsocks, tinyproxy), started on 127.0.0.1 with
// configurations written here. A test whose proxy is not installed is skipped.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "EngineRecorder.h"
#include "LoopbackServer.h"

namespace torvane {
namespace {

using testing::EngineRecorder;
using testing::LoopbackServer;
using testing::Peer;

std::string FindProgram(const std::string& name) {
  for (const char* folder : {"/usr/sbin", "/usr/bin", "/usr/local/sbin", "/usr/local/bin"}) {
    std::string path = std::string(folder) + "/" + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

bool Accepts(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

// A proxy server process on 127.0.0.1:Port(), stopped when this goes away.
class ProxyProcess {
 public:
  // config is written to a file whose path replaces %CONFIG% in args, and
  // %PORT% is replaced by the port in both.
  ProxyProcess(const std::string& program, std::vector<std::string> args, std::string config = {})
      : port_(testing::UnusedLoopbackPort()) {
    char pattern[] = "/tmp/wirelet-proxy-XXXXXX";
    folder_ = mkdtemp(pattern);
    std::string configPath = folder_ + "/proxy.conf";
    Replace(config, "%PORT%", std::to_string(port_));
    std::ofstream(configPath) << config;
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (std::string& arg : args) {
      Replace(arg, "%PORT%", std::to_string(port_));
      Replace(arg, "%CONFIG%", configPath);
      argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::string log = folder_ + "/proxy.log";
    pid_ = fork();
    if (pid_ == 0) {
      freopen(log.c_str(), "w", stdout);
      freopen(log.c_str(), "w", stderr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!Accepts(port_) && std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~ProxyProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    std::filesystem::remove_all(folder_);
  }
  uint16_t Port() const { return port_; }
  bool Running() const { return Accepts(port_); }

 private:
  static void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
      text.replace(at, from.size(), to);
      at += to.size();
    }
  }

  uint16_t port_;
  std::string folder_;
  pid_t pid_ = -1;
};

constexpr char kDanteConfig[] = R"(logoutput: stderr
internal: 127.0.0.1 port = %PORT%
external: 127.0.0.1
clientmethod: none
socksmethod: none
user.unprivileged: nobody
client pass {
  from: 127.0.0.0/8 to: 0.0.0.0/0
}
socks pass {
  from: 127.0.0.0/8 to: 127.0.0.0/8
  command: connect
}
)";

constexpr char kTinyproxyConfig[] = R"(User nobody
Group nogroup
Port %PORT%
Listen 127.0.0.1
Timeout 30
MaxClients 10
Allow 127.0.0.1
)";

struct Through {
  TFirewallType type;
  uint16_t proxyPort;
  std::string user;
  std::string password;
  std::string remote = "127.0.0.1";
};

// Connects through the proxy to a server that greets and echoes one line;
// returns the event log.
std::vector<std::string> Exchange(const Through& through, uint16_t remotePort,
                                  EngineRecorder& rec) {
  SocketEngine& engine = *rec.engine;
  engine.SetEol("\r\n");
  engine.SetFirewallType(through.type);
  EXPECT_EQ(engine.SetFirewallHost("127.0.0.1"), 0);
  engine.SetFirewallPort(through.proxyPort);
  engine.SetFirewallUser(through.user);
  engine.SetFirewallPassword(through.password);
  EXPECT_EQ(engine.SetRemoteHost(through.remote), 0);
  EXPECT_EQ(engine.SetRemotePort(remotePort), 0);
  EXPECT_EQ(engine.Connect(), 0);
  rec.PumpUntil([&] { return !rec.Only("Connected").empty(); });
  if (rec.Logged("Connected 0 OK")) {
    rec.PumpUntilLogged("DataIn hello 1");
    EXPECT_EQ(engine.Send("echo\r\n"), 0);
    rec.PumpUntilLogged("DataIn echo 1");
    engine.Disconnect();
  } else {
    rec.PumpUntil([&] { return !rec.Only("Disconnected").empty(); }, 2000);
  }
  return rec.log;
}

LoopbackServer EchoServer() {
  return LoopbackServer([](Peer& peer) {
    peer.Send("hello\r\n");
    peer.Send(peer.ReceiveUntil("\r\n"));
    peer.WaitClosed();
  });
}

const std::vector<std::string> kThrough = {"Status Firewall connection complete. 0 OK",
                                           "Status Remote host connection complete. 0 OK",
                                           "Connected 0 OK", "DataIn hello 1", "DataIn echo 1"};

std::vector<std::string> Head(const std::vector<std::string>& log, size_t n) {
  return {log.begin(), log.begin() + std::min(n, log.size())};
}

class DanteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = FindProgram("danted");
    if (program_.empty()) GTEST_SKIP() << "needs danted (Debian package dante-server)";
    proxy_ = std::make_unique<ProxyProcess>(
        program_, std::vector<std::string>{"-f", "%CONFIG%", "-N", "1"}, kDanteConfig);
    ASSERT_TRUE(proxy_->Running()) << "danted did not start";
  }
  std::string program_;
  std::unique_ptr<ProxyProcess> proxy_;
};

TEST_F(DanteTest, Socks4ReachesTheServer) {
  LoopbackServer server = EchoServer();
  EngineRecorder rec;
  EXPECT_EQ(Head(Exchange({fwSOCKS4, proxy_->Port(), "operator", ""}, server.Port(), rec), 5),
            kThrough);
}

TEST_F(DanteTest, Socks5WithoutAuthenticationReachesTheServer) {
  LoopbackServer server = EchoServer();
  EngineRecorder rec;
  EXPECT_EQ(Head(Exchange({fwSOCKS5, proxy_->Port(), "", ""}, server.Port(), rec), 5), kThrough);
}

TEST_F(DanteTest, Socks5ByNameReachesTheServer) {
  LoopbackServer server = EchoServer();
  EngineRecorder rec;
  EXPECT_EQ(Head(Exchange({fwSOCKS5, proxy_->Port(), "", "", "*localhost"}, server.Port(), rec), 5),
            kThrough);
}

TEST_F(DanteTest, Socks4ToAClosedPortIsRejected) {
  EngineRecorder rec;
  std::vector<std::string> log =
      Exchange({fwSOCKS4, proxy_->Port(), "", ""}, testing::UnusedLoopbackPort(), rec);
  EXPECT_TRUE(rec.Logged("Error 118 firewall request rejected or failed"))
      << ::testing::PrintToString(log);
  EXPECT_TRUE(rec.Logged("Connected 118 firewall request rejected or failed"));
  EXPECT_EQ(rec.engine->SocketHandle(), -1);
}

TEST_F(DanteTest, Socks5ToAClosedPortIsRefused) {
  EngineRecorder rec;
  std::vector<std::string> log =
      Exchange({fwSOCKS5, proxy_->Port(), "", ""}, testing::UnusedLoopbackPort(), rec);
  std::vector<std::string> connected = rec.Only("Connected");
  ASSERT_EQ(connected.size(), 1u) << ::testing::PrintToString(log);
  EXPECT_EQ(connected[0].rfind("Connected 118 ", 0), 0u) << connected[0];
  EXPECT_NE(connected[0].find("refused"), std::string::npos) << connected[0];
  EXPECT_EQ(rec.engine->SocketHandle(), -1);
}

class MicrosocksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = FindProgram("microsocks");
    if (program_.empty()) GTEST_SKIP() << "needs microsocks (Debian package microsocks)";
    proxy_ = std::make_unique<ProxyProcess>(
        program_,
        std::vector<std::string>{"-i", "127.0.0.1", "-p", "%PORT%", "-u", "bob", "-P", "pw"});
    ASSERT_TRUE(proxy_->Running()) << "microsocks did not start";
  }
  std::string program_;
  std::unique_ptr<ProxyProcess> proxy_;
};

TEST_F(MicrosocksTest, Socks5WithUserAndPasswordReachesTheServer) {
  LoopbackServer server = EchoServer();
  EngineRecorder rec;
  EXPECT_EQ(Head(Exchange({fwSOCKS5, proxy_->Port(), "bob", "pw"}, server.Port(), rec), 5),
            kThrough);
}

TEST_F(MicrosocksTest, WrongPasswordFailsAuthentication) {
  EngineRecorder rec;
  std::vector<std::string> log = Exchange({fwSOCKS5, proxy_->Port(), "bob", "nope"}, 9, rec);
  std::vector<std::string> connected = rec.Only("Connected");
  ASSERT_EQ(connected.size(), 1u) << ::testing::PrintToString(log);
  EXPECT_EQ(connected[0].rfind("Connected 118 firewall authentication failed: ", 0), 0u)
      << connected[0];
}

TEST_F(MicrosocksTest, NoCredentialsAreRefused) {
  EngineRecorder rec;
  std::vector<std::string> log = Exchange({fwSOCKS5, proxy_->Port(), "", ""}, 9, rec);
  EXPECT_TRUE(rec.Logged("Connected 118 no acceptable firewall authentication methods"))
      << ::testing::PrintToString(log);
}

class TinyproxyTest : public ::testing::Test {
 protected:
  void Start(bool basicAuth) {
    program_ = FindProgram("tinyproxy");
    if (program_.empty()) GTEST_SKIP() << "needs tinyproxy (Debian package tinyproxy-bin)";
    std::string config = kTinyproxyConfig;
    if (basicAuth) config += "BasicAuth alice secret\n";
    proxy_ = std::make_unique<ProxyProcess>(
        program_, std::vector<std::string>{"-d", "-c", "%CONFIG%"}, config);
    ASSERT_TRUE(proxy_->Running()) << "tinyproxy did not start";
  }
  std::string program_;
  std::unique_ptr<ProxyProcess> proxy_;
};

TEST_F(TinyproxyTest, ConnectWithoutAuthorisationReachesTheServer) {
  Start(false);
  if (IsSkipped()) return;
  LoopbackServer server = EchoServer();
  EngineRecorder rec;
  EXPECT_EQ(Head(Exchange({fwTunnel, proxy_->Port(), "", ""}, server.Port(), rec), 5), kThrough);
}

TEST_F(TinyproxyTest, ConnectWithBasicAuthorisationReachesTheServer) {
  Start(true);
  if (IsSkipped()) return;
  LoopbackServer server = EchoServer();
  EngineRecorder rec;
  EXPECT_EQ(Head(Exchange({fwTunnel, proxy_->Port(), "alice", "secret"}, server.Port(), rec), 5),
            kThrough);
}

TEST_F(TinyproxyTest, MissingAuthorisationIsRefusedWithTheStatusLine) {
  Start(true);
  if (IsSkipped()) return;
  EngineRecorder rec;
  std::vector<std::string> log = Exchange({fwTunnel, proxy_->Port(), "", ""}, 9, rec);
  EXPECT_TRUE(rec.Logged("Connected 118 HTTP/1.0 407 Proxy Authentication Required"))
      << ::testing::PrintToString(log);
  EXPECT_TRUE(rec.Logged("Error 118 HTTP/1.0 407 Proxy Authentication Required"));
  EXPECT_TRUE(rec.Only("DataIn").empty());
}

}  // namespace
}  // namespace torvane
