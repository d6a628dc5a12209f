// The WinSock 1.1 entry points of WSOCK32.DLL as the loader fetched them by
// ordinal, for the Windows socket table and the window watcher. Every entry
// is non-null: before the first load, or for an ordinal the library lacks, it
// is a stub that fails with 10093.
#ifndef TORVANE_WIRELET_WIN32_WSOCK32_H_
#define TORVANE_WIRELET_WIN32_WSOCK32_H_

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <cstdint>

namespace torvane::wsock32 {

struct Entries {
  int(WSAAPI* bind)(SOCKET, const sockaddr*, int);
  int(WSAAPI* closesocket)(SOCKET);
  int(WSAAPI* connect)(SOCKET, const sockaddr*, int);
  int(WSAAPI* getsockname)(SOCKET, sockaddr*, int*);
  int(WSAAPI* getsockopt)(SOCKET, int, int, char*, int*);
  unsigned long(WSAAPI* inet_addr)(const char*);
  int(WSAAPI* recv)(SOCKET, char*, int, int);
  int(WSAAPI* select)(int, fd_set*, fd_set*, fd_set*, const timeval*);
  int(WSAAPI* send)(SOCKET, const char*, int, int);
  int(WSAAPI* setsockopt)(SOCKET, int, int, const char*, int);
  SOCKET(WSAAPI* socket)(int, int, int);
  hostent*(WSAAPI* gethostbyname)(const char*);
  int(WSAAPI* gethostname)(char*, int);
  int(WSAAPI* WSAAsyncSelect)(SOCKET, HWND, unsigned, long);
  int(WSAAPI* WSAGetLastError)();
  int(WSAAPI* WSACancelBlockingCall)();
  BOOL(WSAAPI* WSAIsBlocking)();
  int(WSAAPI* WSAStartup)(WORD, WSADATA*);
  int(WSAAPI* WSACleanup)();
};

// The entries in force; they reach the library only while the loader holds it.
const Entries& Get();

// What the loader asks for, replaceable by tests to provoke each start-up
// failure. startup, when set, stands in for the library's WSAStartup.
struct LoadOptions {
  const char* library = "WSOCK32.DLL";
  WORD version = 0x0101;
  int(WSAAPI* startup)(WORD, WSADATA*) = nullptr;
};
void SetLoadOptions(const LoadOptions& options);

}  // namespace torvane::wsock32

#endif  // TORVANE_WIRELET_WIN32_WSOCK32_H_
