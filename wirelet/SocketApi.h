// The one table through which the engine reaches the system's sockets, and the
// process-wide loader that fills it. While no engine holds the loader, every
// entry is a stub that fails with ENOSYS (reported as 10093), so no call ever
// reaches a socket function the control has not set up. Tests replace single
// entries to make any call fail (see ScopedSocketFunction).
#ifndef TORVANE_WIRELET_SOCKETAPI_H_
#define TORVANE_WIRELET_SOCKETAPI_H_

#include <netdb.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace torvane {

// POSIX semantics: failures return -1 and leave the reason in errno
// (getAddrInfo returns its EAI_* code as getaddrinfo() does).
struct SocketApi {
  int (*socket)(int domain, int type, int protocol);
  int (*bind)(int fd, const sockaddr* address, socklen_t length);
  int (*connect)(int fd, const sockaddr* address, socklen_t length);
  ssize_t (*recv)(int fd, void* buffer, size_t length, int flags);
  ssize_t (*send)(int fd, const void* buffer, size_t length, int flags);
  int (*close)(int fd);
  int (*setsockopt)(int fd, int level, int name, const void* value, socklen_t length);
  int (*getsockopt)(int fd, int level, int name, void* value, socklen_t* length);
  int (*getsockname)(int fd, sockaddr* address, socklen_t* length);
  int (*getAddrInfo)(const char* node, const char* service, const addrinfo* hints,
                     addrinfo** result);
  void (*freeAddrInfo)(addrinfo* result);
  int (*gethostname)(char* name, size_t length);
};

// The table in force for the process.
SocketApi& Sockets();

// The entries that call the system, and the entries that fail with ENOSYS.
SocketApi SystemSocketApi();
SocketApi FailingSocketApi();

// Process-wide reference count over the socket library. The first Acquire puts
// the system entries in place, the last Release puts the failing stubs back.
// Touched only on the thread that creates and destroys controls.
class WinsockLoader {
 public:
  static void Acquire();
  static void Release();
  static bool Loaded();
  static int References();

  // What the start-up reports: the Config settings WinsockInfo, WinsockPath,
  // WinsockStatus, WinsockMaxSockets, WinsockMaxDatagramSize.
  static std::string Info();
  static std::string Path();
  static std::string Status();
  static int32_t MaxSockets();
  static int32_t MaxDatagramSize();
};

// Replaces one entry of the table for the lifetime of the object.
template <typename Fn>
class ScopedSocketFunction {
 public:
  ScopedSocketFunction(Fn SocketApi::*entry, Fn replacement)
      : entry_(entry), saved_(Sockets().*entry) {
    Sockets().*entry_ = replacement;
  }
  ~ScopedSocketFunction() { Sockets().*entry_ = saved_; }
  ScopedSocketFunction(const ScopedSocketFunction&) = delete;
  ScopedSocketFunction& operator=(const ScopedSocketFunction&) = delete;

 private:
  Fn SocketApi::*entry_;
  Fn saved_;
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_SOCKETAPI_H_
