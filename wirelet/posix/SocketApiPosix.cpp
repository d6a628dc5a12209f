// The socket table over the POSIX calls; errno is turned into WinSock codes
// here and nowhere else.
#include <netdb.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

#include "ErrorCodes.h"
#include "SocketApi.h"

namespace torvane {
namespace {

int Fd(SocketHandle s) { return static_cast<int>(s); }

SocketHandle SystemSocket(int family, int type, int protocol) {
  return ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
}
int SystemBind(SocketHandle s, const sockaddr* address, SockLen length) {
  return ::bind(Fd(s), address, length);
}
int SystemConnect(SocketHandle s, const sockaddr* address, SockLen length) {
  int rc = ::connect(Fd(s), address, length);
  // EAGAIN here means no local port is free, not a connect under way: it must
  // not read as WinSock's "would block", which the engine takes for started.
  if (rc != 0 && errno == EAGAIN) errno = EADDRNOTAVAIL;
  return rc;
}
SocketSize SystemRecv(SocketHandle s, void* buffer, size_t length, int flags) {
  return ::recv(Fd(s), buffer, length, flags);
}
// send() on a socket whose peer has gone must report EPIPE, not raise SIGPIPE.
SocketSize SystemSend(SocketHandle s, const void* buffer, size_t length, int flags) {
  return ::send(Fd(s), buffer, length, flags | MSG_NOSIGNAL);
}
int SystemClose(SocketHandle s) { return ::close(Fd(s)); }
int SystemSetsockopt(SocketHandle s, int level, int name, const void* value, SockLen length) {
  return ::setsockopt(Fd(s), level, name, value, length);
}
int SystemGetsockopt(SocketHandle s, int level, int name, void* value, SockLen* length) {
  return ::getsockopt(Fd(s), level, name, value, length);
}
int SystemGetsockname(SocketHandle s, sockaddr* address, SockLen* length) {
  return ::getsockname(Fd(s), address, length);
}
int SystemGethostname(char* name, size_t length) { return ::gethostname(name, length); }

int SystemLookup(const char* host, uint32_t* address) {
  *address = 0;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int rc = ::getaddrinfo(host, nullptr, &hints, &found);
  if (rc != 0) return WinsockCodeFromAddrInfo(rc, errno);
  for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
      *address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
      break;
    }
  }
  ::freeaddrinfo(found);
  return 0;
}

int SystemConnectError(SocketHandle s) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(Fd(s), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
    return WinsockCodeFromErrno(errno);
  }
  return error == 0 ? 0 : WinsockCodeFromErrno(error);
}

int SystemLastError() { return WinsockCodeFromErrno(errno); }

int references = 0;

}  // namespace

namespace internal {
void SetNotInitialisedError() { errno = ENOSYS; }
}  // namespace internal

SocketApi SystemSocketApi() {
  return {SystemSocket, SystemBind,         SystemConnect,    SystemRecv,        SystemSend,
          SystemClose,  SystemSetsockopt,   SystemGetsockopt, SystemGetsockname, SystemGethostname,
          SystemLookup, SystemConnectError, SystemLastError};
}

bool WinsockLoader::Acquire() {
  if (references++ == 0) Sockets() = SystemSocketApi();
  return true;
}

void WinsockLoader::Release() {
  if (references == 0) return;
  if (--references == 0) Sockets() = FailingSocketApi();
}

bool WinsockLoader::Loaded() { return references > 0; }
int WinsockLoader::References() { return references; }

std::string WinsockLoader::Info() { return "POSIX sockets (IPv4 stream)"; }
std::string WinsockLoader::Path() { return "libc.so.6"; }
std::string WinsockLoader::Status() { return Loaded() ? "Running" : "Down"; }

int32_t WinsockLoader::MaxSockets() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > 32767) {
    return 32767;
  }
  return static_cast<int32_t>(limit.rlim_cur);
}

int32_t WinsockLoader::MaxDatagramSize() { return 65507; }

}  // namespace torvane
