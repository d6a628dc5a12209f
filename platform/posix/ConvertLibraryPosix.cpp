#include <dlfcn.h>

#include "ConvertLibrary.h"
#include "ProgramFolder.h"

namespace torvane {

ConvertLibrary::~ConvertLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

void ConvertLibrary::Load() {
  std::string errors;
  if (name_.find('/') == std::string::npos) {
    const std::string own = ProgramLibrary(name_);
    if (own.empty()) {
      errors = "not beside the program nor in its " + std::string(kInstalledLibraryFolder);
    } else {
      handle_ = dlopen(own.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle_ == nullptr) errors = dlerror();
    }
  }
  if (handle_ == nullptr) handle_ = dlopen(name_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    throw ConvertLibraryError("cannot load library " + name_ +
                              " for Int16ToBuffer: " + (why != nullptr ? why : errors));
  }
  int16ToBuffer_ = reinterpret_cast<Int16ToBufferFn>(dlsym(handle_, "Int16ToBuffer"));
  if (int16ToBuffer_ == nullptr) {
    dlclose(handle_);
    handle_ = nullptr;
    throw ConvertLibraryError("library " + name_ + " has no entry point Int16ToBuffer");
  }
}

}  // namespace torvane
