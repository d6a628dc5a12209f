// The socket types and constants the engine shares between the two systems:
// WinSock's declarations on Windows (types and constants only; the functions
// come from the table in SocketApi.h), the POSIX ones elsewhere. Addresses are
// IPv4 in network order as uint32_t; ports travel in network order inside
// sockaddr_in only.
#ifndef TORVANE_WIRELET_SOCKETTYPES_H_
#define TORVANE_WIRELET_SOCKETTYPES_H_

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace torvane {

// A socket as the engine stores it: a file descriptor on POSIX, a SOCKET on
// Windows (whose INVALID_SOCKET reads as -1 here).
using SocketHandle = intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

#ifdef _WIN32
using SockLen = int;
#else
using SockLen = socklen_t;
#endif

// Byte counts of recv and send, negative on failure.
using SocketSize = std::ptrdiff_t;

// Host order <-> network order without the system's helpers.
inline uint16_t ToNetworkOrder16(uint16_t value) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  uint16_t result;
  std::memcpy(&result, bytes, sizeof result);
  return result;
}

inline uint16_t FromNetworkOrder16(uint16_t value) {
  uint8_t bytes[2];
  std::memcpy(bytes, &value, sizeof bytes);
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

// "a.b.c.d" of an address in network order.
inline std::string DottedAddress(uint32_t networkOrder) {
  uint8_t bytes[4];
  std::memcpy(bytes, &networkOrder, sizeof bytes);
  std::string text;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(bytes[i]);
  }
  return text;
}

}  // namespace torvane

#endif  // TORVANE_WIRELET_SOCKETTYPES_H_
