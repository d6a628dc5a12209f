// A pseudo-terminal pair for a simulator that plays a serial device: the
// simulator works the master side, the program opens the slave path as its
// serial line. Both sides are raw (no echo, no line editing, CR kept as CR).
// The simulator keeps no slave descriptor of its own, so the master tells
// whether the program has the line open; the pair lives on while the program
// closes and reopens it, as long as the master is open.
#ifndef TORVANE_TOOLS_SIMULATORS_PSEUDOTERMINAL_H_
#define TORVANE_TOOLS_SIMULATORS_PSEUDOTERMINAL_H_

#include <string>

namespace torvane::sim {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Creates the pair; false with *error set on failure. The master is non-blocking.
  bool Open(std::string& error);

  // True while some process holds the slave open. Reads on the master fail
  // with EIO (and it polls readable) while none does.
  bool PeerOpen() const;

  int masterFd() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Puts an open terminal descriptor into raw mode; false on failure.
bool MakeRaw(int fd);

}  // namespace torvane::sim

#endif  // TORVANE_TOOLS_SIMULATORS_PSEUDOTERMINAL_H_
