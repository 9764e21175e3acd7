// An owning pointer to a COM-style object: one reference, released when the
// holder goes away, so early returns never leak or double-release.
#pragma once
#include <unknwn.h>

#include <utility>

namespace lum {

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference the caller already owns (a fresh object, an out
  // parameter).
  static ComRef Adopt(T* object) {
    ComRef ref;
    ref.object_ = object;
    return ref;
  }
  // Adds a reference of its own.
  static ComRef Share(T* object) {
    if (object != nullptr) object->AddRef();
    return Adopt(object);
  }
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      Reset();
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }

  void Reset() {
    if (object_ != nullptr) std::exchange(object_, nullptr)->Release();
  }
  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // For out parameters: releases what was held first.
  void** PutVoid() {
    Reset();
    return reinterpret_cast<void**>(&object_);
  }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(object_, nullptr); }

 private:
  T* object_ = nullptr;
};

}  // namespace lum
