#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace torvane::sim {

bool MakeRaw(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

PseudoTerminal::~PseudoTerminal() {
  if (master_ >= 0) close(master_);
}

bool PseudoTerminal::Open(std::string& error) {
  auto fail = [&](const char* what) {
    error = std::string(what) + ": " + std::strerror(errno);
    return false;
  };
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return fail("posix_openpt");
  if (grantpt(master_) != 0) return fail("grantpt");
  if (unlockpt(master_) != 0) return fail("unlockpt");
  char name[256] = {};
  if (ptsname_r(master_, name, sizeof name) != 0) return fail("ptsname_r");
  slavePath_ = name;
  // Opened once to set it raw, which the line keeps across later opens, and
  // closed again: a master whose slave was never opened reports no hang-up,
  // so PeerOpen could not tell the program's open from no open at all.
  const int slave = open(name, O_RDWR | O_NOCTTY);
  if (slave < 0) return fail("open slave");
  const bool raw = MakeRaw(slave);
  close(slave);
  if (!raw) return fail("raw mode");
  const int flags = fcntl(master_, F_GETFL);
  if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail("non-blocking");
  return true;
}

bool PseudoTerminal::PeerOpen() const {
  pollfd p{master_, POLLIN, 0};
  return poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
}

}  // namespace torvane::sim
