// Result codes of the automation layer: the HRESULT values COM uses, under
// names that cannot clash with the platform's own macros.
#ifndef TORVANE_PLATFORM_AUTOMATION_HRESULT_H_
#define TORVANE_PLATFORM_AUTOMATION_HRESULT_H_

#include <cstdint>

namespace torvane {

using HResult = int32_t;

constexpr HResult MakeHResult(uint32_t bits) { return static_cast<HResult>(bits); }
constexpr bool Succeeded(HResult hr) { return hr >= 0; }
constexpr bool Failed(HResult hr) { return hr < 0; }

// An automation error with a Visual Basic-style number (0x800A0000 | n).
constexpr HResult MakeAutomationError(uint32_t number) {
  return MakeHResult(0x800A0000u | (number & 0xFFFFu));
}

inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kENotImpl = MakeHResult(0x80004001u);
inline constexpr HResult kENoInterface = MakeHResult(0x80004002u);
inline constexpr HResult kEPointer = MakeHResult(0x80004003u);
inline constexpr HResult kEFail = MakeHResult(0x80004005u);
inline constexpr HResult kEUnexpected = MakeHResult(0x8000FFFFu);
inline constexpr HResult kEOutOfMemory = MakeHResult(0x8007000Eu);
inline constexpr HResult kEInvalidArg = MakeHResult(0x80070057u);
inline constexpr HResult kDispEMemberNotFound = MakeHResult(0x80020003u);
inline constexpr HResult kDispETypeMismatch = MakeHResult(0x80020005u);
inline constexpr HResult kDispEUnknownName = MakeHResult(0x80020006u);
inline constexpr HResult kDispEException = MakeHResult(0x80020009u);
inline constexpr HResult kDispEOverflow = MakeHResult(0x8002000Au);
inline constexpr HResult kDispEBadParamCount = MakeHResult(0x8002000Eu);
inline constexpr HResult kClassENoAggregation = MakeHResult(0x80040110u);
inline constexpr HResult kClassEClassNotAvailable = MakeHResult(0x80040111u);
inline constexpr HResult kRegdbEClassNotReg = MakeHResult(0x80040154u);
inline constexpr HResult kCoEClassString = MakeHResult(0x800401F3u);
inline constexpr HResult kCoEDllNotFound = MakeHResult(0x800401F8u);
inline constexpr HResult kCoEErrorInDll = MakeHResult(0x800401F9u);
inline constexpr HResult kConnectEAdviseLimit = MakeHResult(0x80040201u);
inline constexpr HResult kConnectENoConnection = MakeHResult(0x80040200u);
inline constexpr HResult kSelfRegEClass = MakeHResult(0x80040201u);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_HRESULT_H_
