#include <windows.h>

#include "ConvertLibrary.h"
#include "Win32Error.h"

namespace torvane {

ConvertLibrary::~ConvertLibrary() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

// By name, as the system searches for it: the program's folder comes first.
void ConvertLibrary::Load() {
  HMODULE module = LoadLibraryA(name_.c_str());
  if (module == nullptr) {
    throw ConvertLibraryError("cannot load library " + name_ +
                              " for Int16ToBuffer: " + Win32ErrorText(GetLastError()));
  }
  const FARPROC entry = GetProcAddress(module, "Int16ToBuffer");
  if (entry == nullptr) {
    FreeLibrary(module);
    throw ConvertLibraryError("library " + name_ + " has no entry point Int16ToBuffer");
  }
  handle_ = module;
  int16ToBuffer_ = reinterpret_cast<Int16ToBufferFn>(reinterpret_cast<void*>(entry));
}

}  // namespace torvane
