#include "ConvertLibrary.h"

#include <dlfcn.h>

#include "ProgramFolder.h"

namespace torvane {

ConvertLibrary::ConvertLibrary(std::string libraryName) : name_(std::move(libraryName)) {}

ConvertLibrary::~ConvertLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

ConvertLibrary& ConvertLibrary::Default() {
  static ConvertLibrary library;
  return library;
}

void ConvertLibrary::Load() {
  std::string errors;
  if (name_.find('/') == std::string::npos) {
    const std::string besideProgram = ProgramFolder() + "/" + name_;
    handle_ = dlopen(besideProgram.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) errors = dlerror();
  }
  if (handle_ == nullptr) handle_ = dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    throw ConvertLibraryError("cannot load library " + name_ + " for Int16ToBuffer: " +
                              (why != nullptr ? why : errors));
  }
  int16ToBuffer_ = reinterpret_cast<Int16ToBufferFn>(dlsym(handle_, "Int16ToBuffer"));
  if (int16ToBuffer_ == nullptr) {
    dlclose(handle_);
    handle_ = nullptr;
    throw ConvertLibraryError("library " + name_ + " has no entry point Int16ToBuffer");
  }
}

Int16Buffer ConvertLibrary::Int16ToBuffer(int16_t value) {
  if (int16ToBuffer_ == nullptr) Load();
  uint8_t bytes[2] = {0, 0};
  int16ToBuffer_(value, bytes);
  return {bytes[0], bytes[1]};
}

}  // namespace torvane
