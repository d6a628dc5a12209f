#ifndef TORVANE_PLATFORM_WIN32_WIN32ERROR_H_
#define TORVANE_PLATFORM_WIN32_WIN32ERROR_H_

#include <windows.h>

#include <string>

namespace torvane {

// The system's own text for a GetLastError code, with the code.
inline std::string Win32ErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n > 0 ? std::string(text, n) : std::string("error");
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message + " (" + std::to_string(code) + ")";
}

}  // namespace torvane

#endif  // TORVANE_PLATFORM_WIN32_WIN32ERROR_H_
