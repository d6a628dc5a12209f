// The one table through which the engine reaches the system's sockets, and the
// process-wide loader that fills it. While no engine holds the loader, every
// entry is a stub that fails with 10093 (WinSock not started), so no call ever
// reaches a socket function the control has not set up. Tests replace single
// entries to make any call fail (see ScopedSocketFunction).
//
// The entries behave alike on both systems: sockets are non-blocking once the
// engine watches them, failures return -1 (kNoSocket for socket) and leave
// their WinSock code for lastError(), and every other code the table returns
// is a WinSock code. POSIX sockets are opened non-blocking and close-on-exec
// and never raise SIGPIPE; on Windows the watcher's WSAAsyncSelect makes them
// non-blocking.
#ifndef TORVANE_WIRELET_SOCKETAPI_H_
#define TORVANE_WIRELET_SOCKETAPI_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "SocketTypes.h"

namespace torvane {

struct SocketApi {
  SocketHandle (*socket)(int family, int type, int protocol);
  int (*bind)(SocketHandle s, const sockaddr* address, SockLen length);
  int (*connect)(SocketHandle s, const sockaddr* address, SockLen length);
  SocketSize (*recv)(SocketHandle s, void* buffer, size_t length, int flags);
  SocketSize (*send)(SocketHandle s, const void* buffer, size_t length, int flags);
  int (*close)(SocketHandle s);
  int (*setsockopt)(SocketHandle s, int level, int name, const void* value, SockLen length);
  int (*getsockopt)(SocketHandle s, int level, int name, void* value, SockLen* length);
  int (*getsockname)(SocketHandle s, sockaddr* address, SockLen* length);
  int (*gethostname)(char* name, size_t length);
  // The first IPv4 address of host (dotted form or name) into *address, in
  // network order (0 when the name has none); returns 0 or the WinSock code
  // of the failure (11001 host not found ...). Blocks while it asks.
  int (*lookup)(const char* host, uint32_t* address);
  // The WinSock code of the error a connect on s ended with (SO_ERROR), 0
  // when it succeeded or is still running.
  int (*connectError)(SocketHandle s);
  // The WinSock code of the last failed call of this table on this thread.
  int (*lastError)();
};

// The table in force for the process.
SocketApi& Sockets();

// The entries that call the system, and the entries that fail with 10093.
// On Windows the system entries reach WSOCK32.DLL and work only while the
// loader holds it.
SocketApi SystemSocketApi();
SocketApi FailingSocketApi();

// Process-wide reference count over the socket library. The first successful
// Acquire puts the system entries in place, the last Release puts the failing
// stubs back. Touched only on the thread that creates and destroys controls.
class WinsockLoader {
 public:
  // False when the library could not be loaded or started (Status() says
  // why); only a successful Acquire is to be released.
  static bool Acquire();
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

namespace internal {
// Makes lastError() of the system table report 10093, for the stubs.
void SetNotInitialisedError();
}  // namespace internal

}  // namespace torvane

#endif  // TORVANE_WIRELET_SOCKETAPI_H_
