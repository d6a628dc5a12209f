// Test table shared by the engine's tests on each system's socket watcher:
// how the peer ends the connection, whether the client takes data meanwhile,
// and what the client must see.
#ifndef TORVANE_WIRELET_PEERCLOSECASES_H_
#define TORVANE_WIRELET_PEERCLOSECASES_H_

#include <ostream>
#include <string>
#include <vector>

namespace torvane::testing {

struct PeerCloseCase {
  const char* name;
  bool acceptData;
  bool reset;
  std::vector<std::string> dataIn;  // checked unless empty
  std::string disconnected;
};

inline void PrintTo(const PeerCloseCase& c, std::ostream* os) { *os << c.name; }

inline const PeerCloseCase kPeerCloseCases[] = {
    {"NormalClose", true, false, {"DataIn one 1", "DataIn rest 0"}, "Disconnected 0 OK"},
    {"NormalCloseWhileAcceptDataIsOff",
     false,
     false,
     {"DataIn one 1", "DataIn rest 0"},
     "Disconnected 0 OK"},
    {"Reset", true, true, {}, "Disconnected 10054 [10054] Connection reset by peer"},
    {"ResetWhileAcceptDataIsOff",
     false,
     true,
     {},
     "Disconnected 10054 [10054] Connection reset by peer"},
};

}  // namespace torvane::testing

#endif  // TORVANE_WIRELET_PEERCLOSECASES_H_
