// The program's side of the conversion library: opened by name at the first call
// that needs it, first from the executable's own folder (installed: its
// ../lib/torvanetx), then the normal search path
// (on Windows: LoadLibraryA("TorvaneConvert.dll"), whose search begins there).
#ifndef TORVANE_PLATFORM_CONVERTLIBRARY_H_
#define TORVANE_PLATFORM_CONVERTLIBRARY_H_

#include <cstdint>
#include <stdexcept>
#include <string>

#include "TorvaneConvert.h"

namespace torvane {

// Raised when the library or one of its entry points cannot be had; the message
// names both, so an operator knows which file is missing or broken.
class ConvertLibraryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The two bytes that Int16ToBuffer fills: element 0 is the low byte, element 1 the
// high byte. Image and packet writers store element 1 first (big-endian).
struct Int16Buffer {
  uint8_t element0 = 0;
  uint8_t element1 = 0;
};

class ConvertLibrary {
 public:
#ifdef _WIN32
  static constexpr const char* kDefaultName = "TorvaneConvert.dll";
#else
  static constexpr const char* kDefaultName = "libTorvaneConvert.so";
#endif

  explicit ConvertLibrary(std::string libraryName = kDefaultName);
  ~ConvertLibrary();
  ConvertLibrary(const ConvertLibrary&) = delete;
  ConvertLibrary& operator=(const ConvertLibrary&) = delete;

  // Loads the library on the first call; throws ConvertLibraryError when it cannot.
  Int16Buffer Int16ToBuffer(int16_t value);

  // The process-wide instance the program uses.
  static ConvertLibrary& Default();

 private:
  // The library's own declaration, calling convention included.
  using Int16ToBufferFn = decltype(&::Int16ToBuffer);
  void Load();

  std::string name_;
  void* handle_ = nullptr;
  Int16ToBufferFn int16ToBuffer_ = nullptr;
};

// Shorthand for ConvertLibrary::Default().Int16ToBuffer(value).
inline Int16Buffer Int16ToBuffer(int16_t value) {
  return ConvertLibrary::Default().Int16ToBuffer(value);
}

}  // namespace torvane

#endif  // TORVANE_PLATFORM_CONVERTLIBRARY_H_
