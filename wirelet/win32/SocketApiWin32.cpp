// The socket table over WinSock 1.1: WSOCK32.DLL is loaded at run time (never
// linked), its entry points are fetched by ordinal, and WSAStartup asks for
// version 1.1.
// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <type_traits>

#include "ErrorCodes.h"
#include "SocketApi.h"
#include "Wsock32.h"

namespace torvane {
namespace {

constexpr int kWsaInvalidArgument = 10022;
constexpr int kWsaSystemNotReady = 10091;
constexpr int kWsaVersionNotSupported = 10092;

}  // namespace

namespace wsock32 {
namespace {

template <typename R>
R FailValue() {
  if constexpr (std::is_pointer_v<R>) {
    return nullptr;
  } else {
    return static_cast<R>(-1);
  }
}

template <typename R, typename... A>
R WSAAPI Stub(A...) {
  SetLastError(kWsaNotInitialised);
  return FailValue<R>();
}

template <typename R, typename... A>
void SetStub(R(WSAAPI*& entry)(A...)) {
  entry = &Stub<R, A...>;
}

int WSAAPI StubGetLastError() { return kWsaNotInitialised; }
BOOL WSAAPI StubIsBlocking() { return FALSE; }
int WSAAPI StubStartup(WORD, WSADATA*) { return kWsaSystemNotReady; }

Entries StubEntries() {
  Entries e{};
  SetStub(e.bind);
  SetStub(e.closesocket);
  SetStub(e.connect);
  SetStub(e.getsockname);
  SetStub(e.getsockopt);
  SetStub(e.inet_addr);
  SetStub(e.recv);
  SetStub(e.select);
  SetStub(e.send);
  SetStub(e.setsockopt);
  SetStub(e.socket);
  SetStub(e.gethostbyname);
  SetStub(e.gethostname);
  SetStub(e.WSAAsyncSelect);
  e.WSAGetLastError = StubGetLastError;
  SetStub(e.WSACancelBlockingCall);
  e.WSAIsBlocking = StubIsBlocking;
  e.WSAStartup = StubStartup;
  SetStub(e.WSACleanup);
  return e;
}

Entries& Table() {
  static Entries entries = StubEntries();
  return entries;
}

LoadOptions& Options() {
  static LoadOptions options;
  return options;
}

// The WinSock 1.1 ordinals: 1-23 the BSD calls (accept ... socket), 51-57 the
// database calls (gethostbyaddr ... gethostname), 101-116 the WSA calls
// (WSAAsyncSelect ... WSACleanup) and 151 __WSAFDIsSet.
constexpr int kOrdinalRanges[][2] = {{1, 23}, {51, 57}, {101, 116}, {151, 151}};

template <typename Fn>
void Assign(Fn& entry, FARPROC address) {
  entry = reinterpret_cast<Fn>(reinterpret_cast<void*>(address));
}

// Fills the table from module; false (table left as it was) when an ordinal
// the socket table uses is missing.
bool Fetch(HMODULE module) {
  FARPROC byOrdinal[152] = {};
  for (const auto& range : kOrdinalRanges) {
    for (int ordinal = range[0]; ordinal <= range[1]; ++ordinal) {
      byOrdinal[ordinal] = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    }
  }
  constexpr int kUsed[] = {2,  3,  4,  6,   7,   10,  16,  18,  19, 21,
                           23, 52, 57, 101, 111, 113, 114, 115, 116};
  for (int ordinal : kUsed) {
    if (byOrdinal[ordinal] == nullptr) return false;
  }
  Entries e{};
  Assign(e.bind, byOrdinal[2]);
  Assign(e.closesocket, byOrdinal[3]);
  Assign(e.connect, byOrdinal[4]);
  Assign(e.getsockname, byOrdinal[6]);
  Assign(e.getsockopt, byOrdinal[7]);
  Assign(e.inet_addr, byOrdinal[10]);
  Assign(e.recv, byOrdinal[16]);
  Assign(e.select, byOrdinal[18]);
  Assign(e.send, byOrdinal[19]);
  Assign(e.setsockopt, byOrdinal[21]);
  Assign(e.socket, byOrdinal[23]);
  Assign(e.gethostbyname, byOrdinal[52]);
  Assign(e.gethostname, byOrdinal[57]);
  Assign(e.WSAAsyncSelect, byOrdinal[101]);
  Assign(e.WSAGetLastError, byOrdinal[111]);
  Assign(e.WSACancelBlockingCall, byOrdinal[113]);
  Assign(e.WSAIsBlocking, byOrdinal[114]);
  Assign(e.WSAStartup, byOrdinal[115]);
  Assign(e.WSACleanup, byOrdinal[116]);
  Table() = e;
  return true;
}

}  // namespace

const Entries& Get() { return Table(); }

// Called when no engine holds the library any more.
void PutStubsBack() { Table() = StubEntries(); }

void SetLoadOptions(const LoadOptions& options) { Options() = options; }

}  // namespace wsock32

namespace wsock32 {
void PutStubsBack();
}  // namespace wsock32

namespace {

using wsock32::Get;

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }
int Length(size_t length) { return length > INT_MAX ? INT_MAX : static_cast<int>(length); }

SocketHandle SystemSocket(int family, int type, int protocol) {
  SOCKET s = Get().socket(family, type, protocol);
  return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
}
int SystemBind(SocketHandle s, const sockaddr* address, SockLen length) {
  return Get().bind(Sock(s), address, length);
}
int SystemConnect(SocketHandle s, const sockaddr* address, SockLen length) {
  return Get().connect(Sock(s), address, length);
}
SocketSize SystemRecv(SocketHandle s, void* buffer, size_t length, int flags) {
  return Get().recv(Sock(s), static_cast<char*>(buffer), Length(length), flags);
}
SocketSize SystemSend(SocketHandle s, const void* buffer, size_t length, int flags) {
  return Get().send(Sock(s), static_cast<const char*>(buffer), Length(length), flags);
}
int SystemClose(SocketHandle s) { return Get().closesocket(Sock(s)); }
int SystemSetsockopt(SocketHandle s, int level, int name, const void* value, SockLen length) {
  return Get().setsockopt(Sock(s), level, name, static_cast<const char*>(value), length);
}
int SystemGetsockopt(SocketHandle s, int level, int name, void* value, SockLen* length) {
  return Get().getsockopt(Sock(s), level, name, static_cast<char*>(value), length);
}
int SystemGetsockname(SocketHandle s, sockaddr* address, SockLen* length) {
  return Get().getsockname(Sock(s), address, length);
}
int SystemGethostname(char* name, size_t length) { return Get().gethostname(name, Length(length)); }

void CancelBlockingCall() {
  if (Get().WSAIsBlocking()) Get().WSACancelBlockingCall();
}

int SystemLookup(const char* host, uint32_t* address) {
  *address = 0;
  CancelBlockingCall();
  const unsigned long dotted = Get().inet_addr(host);
  if (dotted != INADDR_NONE) {
    *address = static_cast<uint32_t>(dotted);
    return 0;
  }
  const hostent* found = Get().gethostbyname(host);
  if (found == nullptr) {
    int code = Get().WSAGetLastError();
    return code != 0 ? code : kWsaHostNotFound;
  }
  if (found->h_addrtype == AF_INET && found->h_length == 4 && found->h_addr_list != nullptr &&
      found->h_addr_list[0] != nullptr) {
    std::memcpy(address, found->h_addr_list[0], 4);
  }
  return 0;
}

int SystemConnectError(SocketHandle s) {
  int error = 0;
  int length = sizeof error;
  if (Get().getsockopt(Sock(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) !=
      0) {
    return Get().WSAGetLastError();
  }
  return error;
}

int SystemLastError() { return Get().WSAGetLastError(); }

// Process-wide: every engine that loaded the library holds one reference.
struct LoaderState {
  HMODULE module = nullptr;
  int references = 0;
  WSADATA data{};
  std::string status = "Down";
};

LoaderState& State() {
  static LoaderState state;
  return state;
}

}  // namespace

namespace internal {
// WSAGetLastError reads the thread's last error.
void SetNotInitialisedError() { SetLastError(kWsaNotInitialised); }
}  // namespace internal

SocketApi SystemSocketApi() {
  return {SystemSocket, SystemBind,         SystemConnect,    SystemRecv,        SystemSend,
          SystemClose,  SystemSetsockopt,   SystemGetsockopt, SystemGetsockname, SystemGethostname,
          SystemLookup, SystemConnectError, SystemLastError};
}

bool WinsockLoader::Acquire() {
  LoaderState& state = State();
  const wsock32::LoadOptions& options = wsock32::Options();
  HMODULE module = LoadLibraryA(options.library);
  if (module == nullptr) {
    state.status = "Could not load Winsock DLL.";
    return false;
  }
  // Fetched again whenever no engine held the library, as it may have been
  // unloaded and come back at another address.
  if (state.references == 0 && !wsock32::Fetch(module)) {
    FreeLibrary(module);
    state.status = "Could not load Winsock DLL.";
    return false;
  }
  auto fail = [&](const char* status) {
    if (state.references == 0) wsock32::PutStubsBack();
    FreeLibrary(module);
    state.status = status;
    return false;
  };
  WSADATA data{};
  auto startup = options.startup != nullptr ? options.startup : Get().WSAStartup;
  const int rc = startup(options.version, &data);
  if (rc != 0) {
    return fail(rc == kWsaInvalidArgument || rc == kWsaVersionNotSupported
                    ? "Version not supported."
                    : "Network subsystem not ready.");
  }
  if (data.wVersion != 0x0101) {
    Get().WSACleanup();
    return fail("Incompatible Winsock version.");
  }
  state.module = module;
  state.data = data;
  state.status = data.szSystemStatus;
  if (state.references++ == 0) Sockets() = SystemSocketApi();
  return true;
}

void WinsockLoader::Release() {
  LoaderState& state = State();
  if (state.references == 0) return;
  --state.references;
  CancelBlockingCall();
  Get().WSACleanup();
  if (state.references == 0) {
    Sockets() = FailingSocketApi();
    wsock32::PutStubsBack();
    state.status = "Down";
    HMODULE module = state.module;
    state.module = nullptr;
    FreeLibrary(module);
  } else {
    FreeLibrary(state.module);
  }
}

bool WinsockLoader::Loaded() { return State().references > 0; }
int WinsockLoader::References() { return State().references; }

std::string WinsockLoader::Info() { return Loaded() ? State().data.szDescription : ""; }

std::string WinsockLoader::Path() {
  if (!Loaded()) return {};
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(State().module, path, sizeof path);
  return std::string(path, n < sizeof path ? n : 0);
}

std::string WinsockLoader::Status() { return State().status; }
int32_t WinsockLoader::MaxSockets() { return Loaded() ? State().data.iMaxSockets : 0; }
int32_t WinsockLoader::MaxDatagramSize() { return Loaded() ? State().data.iMaxUdpDg : 0; }

}  // namespace torvane
