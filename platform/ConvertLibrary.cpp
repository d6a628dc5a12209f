#include "ConvertLibrary.h"

namespace torvane {

ConvertLibrary::ConvertLibrary(std::string libraryName) : name_(std::move(libraryName)) {}

ConvertLibrary& ConvertLibrary::Default() {
  static ConvertLibrary library;
  return library;
}

Int16Buffer ConvertLibrary::Int16ToBuffer(int16_t value) {
  if (int16ToBuffer_ == nullptr) Load();
  uint8_t bytes[2] = {0, 0};
  int16ToBuffer_(value, bytes);
  return {bytes[0], bytes[1]};
}

}  // namespace torvane
