// A real COM object seen through the automation layer's IDispatch, so the
// program drives a control the same way on both systems: members by
// dispatch identifier with Variants, events through IConnectionPoint (the
// object's default source interface). Windows only.
#ifndef TORVANE_PLATFORM_AUTOMATION_WIN32_COMDISPATCHCLIENT_H_
#define TORVANE_PLATFORM_AUTOMATION_WIN32_COMDISPATCHCLIENT_H_

#include <oaidl.h>

#include "Dispatch.h"

namespace torvane {

// A new wrapper with one reference; it holds one reference to object.
torvane::IDispatch* WrapComDispatch(::IDispatch* object);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_WIN32_COMDISPATCHCLIENT_H_
