// Feeds arbitrary bytes to the control's engine as a proxy's replies and as
// received data, in every line mode, and to the handshake parser in arbitrary
// pieces. The engine runs on a socket pair whose far end the fuzzer writes.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "FirewallLayer.h"
#include "LineBuffer.h"
#include "PollWatcher.h"
#include "SocketApi.h"
#include "SocketEngine.h"

namespace torvane {
namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::string_view Bytes(size_t n) {
    n = std::min(n, size_ - pos_);
    std::string_view out(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return out;
  }
  bool Empty() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

// The engine's socket is one end of a socket pair; connecting succeeds at once.
int pairFar = -1;
SocketHandle FakeSocket(int, int, int) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
    return kNoSocket;
  }
  pairFar = ends[1];
  return ends[0];
}
int FakeBind(SocketHandle, const sockaddr*, SockLen) { return 0; }
int FakeConnect(SocketHandle, const sockaddr*, SockLen) { return 0; }
int FakeSetsockopt(SocketHandle, int, int, const void*, SockLen) { return 0; }
int FakeConnectError(SocketHandle) { return 0; }

class Sink : public EngineEvents {
 public:
  void OnConnected(int, const std::string&) override {}
  void OnConnectionStatus(const std::string&, int, const std::string&) override {}
  void OnDataIn(std::string_view bytes, bool eol) override {
    Check(bytes.size() <= static_cast<size_t>(engine->MaxLineLength()) || eol);
    if (eol && split) Check(bytes.find_first_of("\r\n") == std::string_view::npos);
    if (eol && !split && !marker.empty()) Check(bytes.find(marker) == std::string_view::npos);
    uint8_t action = actions.empty() ? 0 : actions[count++ % actions.size()];
    if (action == 1) engine->SetAcceptData(false);
    if (action == 2) engine->Disconnect();
    if (action == 3) engine->SetAcceptData(true);
  }
  void OnDisconnected(int, const std::string&) override {}
  void OnError(int, const std::string&) override {}
  void OnReadyToSend() override {}

  SocketEngine* engine = nullptr;
  std::string marker;
  bool split = false;
  std::string actions;
  size_t count = 0;
};

void FuzzHandshakeParser(Input& in) {
  FirewallLayer layer;
  FirewallLayer::Target target;
  target.type = static_cast<TFirewallType>(1 + in.Byte() % 3);
  target.remoteText = std::string(in.Bytes(in.Byte() % 8));
  target.user = std::string(in.Bytes(in.Byte()));
  target.password = std::string(in.Bytes(in.Byte()));
  layer.Start(target);
  while (!in.Empty() && layer.GetState() == FirewallLayer::State::kRunning) {
    layer.Feed(in.Bytes(1 + in.Byte() % 16));
  }
  if (in.Byte() & 1) layer.EndOfInput();
}

void FuzzEngine(Input& in) {
  ScopedSocketFunction socketFn(&SocketApi::socket, &FakeSocket);
  ScopedSocketFunction bindFn(&SocketApi::bind, &FakeBind);
  ScopedSocketFunction connectFn(&SocketApi::connect, &FakeConnect);
  ScopedSocketFunction setFn(&SocketApi::setsockopt, &FakeSetsockopt);
  ScopedSocketFunction errorFn(&SocketApi::connectError, &FakeConnectError);

  Sink sink;
  auto watcherOwned = std::make_unique<PollWatcher>();
  PollWatcher* watcher = watcherOwned.get();
  SocketEngine engine(sink, std::move(watcherOwned));
  sink.engine = &engine;

  std::string ignored;
  engine.Config("MaxLineLength=" + std::to_string(1 + in.Byte() * 4), ignored);
  switch (in.Byte() % 4) {
    case 1:
      engine.SetEol("\r\n");
      sink.marker = "\r\n";
      break;
    case 2:
      engine.Config("SplitCRLF=True", ignored);
      sink.split = true;
      break;
    case 3:
      sink.marker = std::string(in.Bytes(1 + in.Byte() % 4));
      engine.SetEol(sink.marker);
      break;
    default:
      break;
  }
  sink.actions = std::string(in.Bytes(in.Byte() % 8));
  TFirewallType type = static_cast<TFirewallType>(in.Byte() % 4);
  engine.SetFirewallType(type);
  engine.SetFirewallUser(std::string(in.Bytes(in.Byte() % 4)));
  engine.SetFirewallPassword(std::string(in.Bytes(in.Byte() % 4)));
  engine.SetFirewallHost("127.0.0.1");
  engine.SetRemoteHost(type == fwSOCKS5 && (in.Byte() & 1) ? "*name" : "127.0.0.1");
  engine.SetRemotePort(5001);
  if (engine.Connect() != 0) return;

  const int far = pairFar;
  for (int steps = 0; steps < 4 && engine.SocketHandle() >= 0; ++steps) watcher->WaitStep(0);
  while (!in.Empty() && engine.SocketHandle() >= 0) {
    std::string_view chunk = in.Bytes(1 + in.Byte() % 64);
    if (send(far, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0) break;
    char drain[512];
    while (recv(far, drain, sizeof drain, 0) > 0) {
    }
    for (int steps = 0; steps < 8 && engine.SocketHandle() >= 0; ++steps) {
      int pending = 0;
      ioctl(engine.SocketHandle(), FIONREAD, &pending);
      if (pending == 0) break;
      watcher->WaitStep(0);
    }
    if (in.Byte() % 16 == 0) engine.SetAcceptData(true);
  }
  close(far);
  for (int steps = 0; steps < 16 && engine.SocketHandle() >= 0; ++steps) {
    if (!engine.AcceptData()) engine.SetAcceptData(true);
    watcher->WaitStep(0);
  }
  engine.Disconnect();
  Check(engine.SocketHandle() == -1);
}

}  // namespace
}  // namespace torvane

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  torvane::Input in(data, size);
  if (in.Byte() & 1) {
    torvane::FuzzHandshakeParser(in);
  } else {
    torvane::FuzzEngine(in);
  }
  return 0;
}
