#include "SocketApi.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace torvane {
namespace {

int StubSocket(int, int, int) { return errno = ENOSYS, -1; }
int StubBind(int, const sockaddr*, socklen_t) { return errno = ENOSYS, -1; }
int StubConnect(int, const sockaddr*, socklen_t) { return errno = ENOSYS, -1; }
ssize_t StubRecv(int, void*, size_t, int) { return errno = ENOSYS, -1; }
ssize_t StubSend(int, const void*, size_t, int) { return errno = ENOSYS, -1; }
int StubClose(int) { return errno = ENOSYS, -1; }
int StubSetsockopt(int, int, int, const void*, socklen_t) { return errno = ENOSYS, -1; }
int StubGetsockopt(int, int, int, void*, socklen_t*) { return errno = ENOSYS, -1; }
int StubGetsockname(int, sockaddr*, socklen_t*) { return errno = ENOSYS, -1; }
int StubGetAddrInfo(const char*, const char*, const addrinfo*, addrinfo** result) {
  *result = nullptr;
  errno = ENOSYS;
  return EAI_SYSTEM;
}
void StubFreeAddrInfo(addrinfo*) {}
int StubGethostname(char*, size_t) { return errno = ENOSYS, -1; }

// send() on a socket whose peer has gone must report EPIPE, not raise SIGPIPE.
ssize_t SystemSend(int fd, const void* buffer, size_t length, int flags) {
  return ::send(fd, buffer, length, flags | MSG_NOSIGNAL);
}

int references = 0;

}  // namespace

SocketApi SystemSocketApi() {
  return {::socket,     ::bind,       ::connect,     ::recv,        SystemSend,     ::close,
          ::setsockopt, ::getsockopt, ::getsockname, ::getaddrinfo, ::freeaddrinfo, ::gethostname};
}

SocketApi FailingSocketApi() {
  return {StubSocket,      StubBind,        StubConnect,      StubRecv,
          StubSend,        StubClose,       StubSetsockopt,   StubGetsockopt,
          StubGetsockname, StubGetAddrInfo, StubFreeAddrInfo, StubGethostname};
}

SocketApi& Sockets() {
  static SocketApi table = FailingSocketApi();
  return table;
}

void WinsockLoader::Acquire() {
  if (references++ == 0) Sockets() = SystemSocketApi();
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
