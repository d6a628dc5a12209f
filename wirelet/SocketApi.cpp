#include "SocketApi.h"

#include "ErrorCodes.h"

namespace torvane {
namespace {

// The stubs leave 10093 where either table's lastError() finds it, so a stub
// put into a loaded table by a test reads as "not started" too.
template <typename Result>
Result Fail(Result result) {
  internal::SetNotInitialisedError();
  return result;
}

SocketHandle StubSocket(int, int, int) { return Fail(kNoSocket); }
int StubBind(SocketHandle, const sockaddr*, SockLen) { return Fail(-1); }
int StubConnect(SocketHandle, const sockaddr*, SockLen) { return Fail(-1); }
SocketSize StubRecv(SocketHandle, void*, size_t, int) { return Fail(SocketSize{-1}); }
SocketSize StubSend(SocketHandle, const void*, size_t, int) { return Fail(SocketSize{-1}); }
int StubClose(SocketHandle) { return Fail(-1); }
int StubSetsockopt(SocketHandle, int, int, const void*, SockLen) { return Fail(-1); }
int StubGetsockopt(SocketHandle, int, int, void*, SockLen*) { return Fail(-1); }
int StubGetsockname(SocketHandle, sockaddr*, SockLen*) { return Fail(-1); }
int StubGethostname(char*, size_t) { return Fail(-1); }
int StubLookup(const char*, uint32_t* address) {
  *address = 0;
  return Fail(kWsaNotInitialised);
}
int StubConnectError(SocketHandle) { return Fail(kWsaNotInitialised); }
int StubLastError() { return kWsaNotInitialised; }

}  // namespace

SocketApi FailingSocketApi() {
  return {StubSocket, StubBind,         StubConnect,    StubRecv,        StubSend,
          StubClose,  StubSetsockopt,   StubGetsockopt, StubGetsockname, StubGethostname,
          StubLookup, StubConnectError, StubLastError};
}

SocketApi& Sockets() {
  static SocketApi table = FailingSocketApi();
  return table;
}

}  // namespace torvane
