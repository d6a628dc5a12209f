// The control's error codes: its own component codes and the WinSock codes it
// reports, with their texts, and (on POSIX) the mapping from the system's errors
// onto them.
#ifndef TORVANE_WIRELET_ERRORCODES_H_
#define TORVANE_WIRELET_ERRORCODES_H_

#include <string>
#include <string_view>

namespace torvane {

// Component codes.
inline constexpr int kErrUnknownConfig = -1;
inline constexpr int kErrRemotePortBusy = 100;
inline constexpr int kErrRemoteHostBusy = 101;
inline constexpr int kErrAddressInvalid = 102;
inline constexpr int kErrAlreadyConnected = 104;
inline constexpr int kErrLocalPortBusy = 106;
inline constexpr int kErrMaxLineBusy = 112;
inline constexpr int kErrPortZero = 116;
inline constexpr int kErrFirewall = 118;
inline constexpr int kErrOutOfMemory = 200;
inline constexpr int kErrWait = 301;

// WinSock codes the engine itself produces.
inline constexpr int kWsaInterrupted = 10004;
inline constexpr int kWsaNotSocket = 10038;
inline constexpr int kWsaWouldBlock = 10035;
inline constexpr int kWsaInProgress = 10036;
inline constexpr int kWsaConnAborted = 10053;
inline constexpr int kWsaConnReset = 10054;
inline constexpr int kWsaNotConnected = 10057;
inline constexpr int kWsaNetUnreachable = 10051;
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaConnRefused = 10061;
inline constexpr int kWsaHostUnreachable = 10065;
inline constexpr int kWsaNotInitialised = 10093;
inline constexpr int kWsaHostNotFound = 11001;

// The fixed text of a code, empty when the code has none. 301 reads
// "Interrupted."; 102 and 116 give their forms without a firewall.
std::string_view ErrorCodeText(int code);

// "[" code "] " and the code's text, or "(no description available)".
std::string FormatErrorCode(int code);

#ifndef _WIN32
// The WinSock code for a POSIX errno value (ECONNREFUSED -> 10061 ...). Codes
// with no counterpart become 10022 (invalid argument); ENOSYS, which the
// failing stubs of the socket table report, becomes 10093.
int WinsockCodeFromErrno(int errnoValue);

// The WinSock code for a getaddrinfo() failure (EAI_NONAME -> 11001 ...);
// systemErrno is consulted for EAI_SYSTEM.
int WinsockCodeFromAddrInfo(int eaiCode, int systemErrno);
#endif

}  // namespace torvane

#endif  // TORVANE_WIRELET_ERRORCODES_H_
