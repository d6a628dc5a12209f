// Creating an object by its ProgID, as late-bound callers do: ProgID -> CLSID
// (following "CurVer") -> the module named by InprocServer32 in the classes
// hive -> its DllGetClassObject -> the class factory.
#ifndef TORVANE_PLATFORM_AUTOMATION_CREATEOBJECT_H_
#define TORVANE_PLATFORM_AUTOMATION_CREATEOBJECT_H_

#include <string>
#include <string_view>

#include "Dispatch.h"
#include "Guid.h"
#include "RegistryHive.h"

namespace torvane {

// kCoEClassString when the ProgID is not registered or names no valid CLSID.
HResult ClsidFromProgId(const RegistryHive& hive, std::string_view progId, Guid& clsid);

// Modules stay loaded for the rest of the process once opened.
// kRegdbEClassNotReg: no InprocServer32 for the class; kCoEDllNotFound: the
// module cannot be loaded; kCoEErrorInDll: it has no DllGetClassObject;
// otherwise the factory's own result.
HResult CreateInstanceOf(const RegistryHive& hive, const Guid& clsid, const Guid& iid, void** out);

// Both steps, asking for iid (kIidDispatch for late binding).
HResult CreateObject(const RegistryHive& hive, std::string_view progId, const Guid& iid,
                     void** out);

// The loader's message for the last kCoEDllNotFound, for diagnostics.
std::string LastModuleError();

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_CREATEOBJECT_H_
