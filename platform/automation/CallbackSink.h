// An event sink that hands every event to a function: what a container
// advises on an object's connection point to receive its events.
#ifndef TORVANE_PLATFORM_AUTOMATION_CALLBACKSINK_H_
#define TORVANE_PLATFORM_AUTOMATION_CALLBACKSINK_H_

#include <functional>
#include <span>
#include <string>

#include "Dispatch.h"

namespace torvane {

class CallbackSink final : public RefCountedDispatch {
 public:
  using Handler = std::function<void(DispId id, std::span<Variant> args)>;

  // A new sink with one reference.
  static CallbackSink* Create(Handler handler) { return new CallbackSink(std::move(handler)); }

  HResult GetIDsOfNames(std::span<const std::string>, std::span<DispId>) override {
    return kDispEUnknownName;
  }
  HResult Invoke(DispId id, uint16_t, std::span<Variant> args, Variant*, ExcepInfo*) override {
    if (handler_) handler_(id, args);
    return kSOk;
  }

 private:
  explicit CallbackSink(Handler handler)
      : RefCountedDispatch(1), handler_(std::move(handler)) {}
  ~CallbackSink() override = default;

  Handler handler_;
};

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_CALLBACKSINK_H_
