// What the module keeps for its objects: its instance handle (resources, the
// type library, the socket window class) and the count of live objects.
#ifndef TORVANE_WIRELET_WIN32_WIRELETMODULEWIN32_H_
#define TORVANE_WIRELET_WIN32_WIRELETMODULEWIN32_H_

#include <windows.h>

#include <string>

namespace torvane {

HINSTANCE WireletModuleInstance();
// The module's full path, as registration writes it.
std::wstring WireletModulePath();
void WireletObjectCreated();
void WireletObjectDestroyed();

}  // namespace torvane

#endif  // TORVANE_WIRELET_WIN32_WIRELETMODULEWIN32_H_
