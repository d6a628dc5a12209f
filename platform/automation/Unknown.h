// Reference-counted objects with interface queries, and a smart pointer that
// holds one reference.
#ifndef TORVANE_PLATFORM_AUTOMATION_UNKNOWN_H_
#define TORVANE_PLATFORM_AUTOMATION_UNKNOWN_H_

#include <cstdint>
#include <utility>

#include "Guid.h"
#include "HResult.h"

namespace torvane {

class IUnknown {
 public:
  // On success *out holds a new reference to the interface iid; otherwise
  // *out is null and the result is kENoInterface (kEPointer for a null out).
  virtual HResult QueryInterface(const Guid& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  // Destroys the object when the count reaches zero.
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a new reference.
  explicit ComPtr(T* p) : p_(p) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Adopts a reference the caller already owns (as QueryInterface returns).
  static ComPtr Adopt(T* p) {
    ComPtr result;
    result.p_ = p;
    return result;
  }

  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }
  // For out parameters: releases what is held and gives the slot.
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_UNKNOWN_H_
