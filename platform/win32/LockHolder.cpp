// Test helper: takes the instance lock named on the command line, says "held"
// (or why not) on stdout, and waits to be killed, as a copy of the program that
// dies without releasing anything.
#include <windows.h>

#include <cstdio>
#include <string>

#include "InstanceLock.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  torvane::InstanceLock lock(argv[1]);
  std::string error;
  const bool held = lock.Take(&error) == torvane::InstanceLock::Result::kTaken;
  std::printf("%s\n", held ? "held" : ("not held " + error).c_str());
  std::fflush(stdout);
  if (!held) return 1;
  Sleep(INFINITE);
  return 0;
}
