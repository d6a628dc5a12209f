#include "ErrorCodes.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

namespace torvane {
namespace {

TEST(ErrorCodesTest, ErrnoMapsOntoWinsockCodes) {
  const std::pair<int, int> cases[] = {
      {ECONNREFUSED, 10061},  {ETIMEDOUT, 10060},   {EHOSTUNREACH, 10065}, {ECONNRESET, 10054},
      {EADDRINUSE, 10048},    {EWOULDBLOCK, 10035}, {EINPROGRESS, 10036},  {ENOTCONN, 10057},
      {ECONNABORTED, 10053},  {ENETUNREACH, 10051}, {EMFILE, 10024},       {ENOTSOCK, 10038},
      {EADDRNOTAVAIL, 10049}, {ENOBUFS, 10055},     {ENOSYS, 10093},       {EDOM, 10022},
  };
  for (const auto& [posix, winsock] : cases) {
    EXPECT_EQ(WinsockCodeFromErrno(posix), winsock) << "errno " << posix;
  }
}

TEST(ErrorCodesTest, LookupFailuresMapOntoHostCodes) {
  EXPECT_EQ(WinsockCodeFromAddrInfo(EAI_NONAME, 0), 11001);
  EXPECT_EQ(WinsockCodeFromAddrInfo(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(WinsockCodeFromAddrInfo(EAI_FAIL, 0), 11003);
  EXPECT_EQ(WinsockCodeFromAddrInfo(EAI_SYSTEM, ENOSYS), 10093);
  EXPECT_EQ(WinsockCodeFromAddrInfo(0, 0), 0);
}

TEST(ErrorCodesTest, FormatGivesCodeInBracketsAndText) {
  EXPECT_EQ(FormatErrorCode(10061), "[10061] Connection refused");
  EXPECT_EQ(FormatErrorCode(104),
            "[104] Already connected. If you want to reconnect, close the current connection "
            "first.");
  EXPECT_EQ(FormatErrorCode(301), "[301] Interrupted.");
  EXPECT_EQ(FormatErrorCode(-1), "[-1] Unknown config setting.");
  EXPECT_EQ(FormatErrorCode(10066), "[10066] Directory not empt");
  EXPECT_EQ(FormatErrorCode(12345), "[12345] (no description available)");
  EXPECT_EQ(FormatErrorCode(7), "[7] (no description available)");
}

}  // namespace
}  // namespace torvane
