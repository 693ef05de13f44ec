// Platform handles as they cross to the operating system: one type per kind, so that a
// window cannot be passed where a region is expected, and an owner for the kinds the
// program must give back.
#pragma once

#include <compare>
#include <cstdint>
#include <utility>

namespace qd {

// An opaque handle of one kind. The default value is "none".
template <typename Kind>
class NativeHandle {
 public:
  constexpr NativeHandle() noexcept = default;
  constexpr explicit NativeHandle(std::uintptr_t value) noexcept : value_(value) {}

  [[nodiscard]] constexpr std::uintptr_t Value() const noexcept { return value_; }
  constexpr explicit operator bool() const noexcept { return value_ != 0; }
  friend constexpr auto operator<=>(NativeHandle, NativeHandle) noexcept = default;

 private:
  std::uintptr_t value_ = 0;
};

using NativeWindow = NativeHandle<struct WindowKind>;
using NativeRegion = NativeHandle<struct RegionKind>;
using NativeCursor = NativeHandle<struct CursorKind>;
using NativeFile = NativeHandle<struct FileKind>;
using NativeWaitableTimer = NativeHandle<struct WaitableTimerKind>;

// Owns a handle until it goes back to the interface that gave it out, or passes to the
// system (Release). Traits name the handle type, that interface (Source) and the call
// that gives the handle back (Free).
template <typename Traits>
class Owned {
 public:
  using Handle = typename Traits::Handle;
  using Source = typename Traits::Source;

  Owned() noexcept = default;
  Owned(Source& source, Handle handle) noexcept : source_(&source), handle_(handle) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept
      : source_(other.source_), handle_(std::exchange(other.handle_, Handle{})) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      Close();
      source_ = other.source_;
      handle_ = std::exchange(other.handle_, Handle{});
    }
    return *this;
  }
  ~Owned() { Close(); }

  [[nodiscard]] Handle Get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return static_cast<bool>(handle_); }

  // Gives up ownership without giving the handle back.
  [[nodiscard]] Handle Release() noexcept { return std::exchange(handle_, Handle{}); }

  // Gives the handle back now, for callers that must know whether that worked (a file's
  // last buffered bytes). A failed close is not tried again.
  bool Close() noexcept {
    if (!handle_) {
      return true;
    }
    return Traits::Free(*source_, std::exchange(handle_, Handle{}));
  }

 private:
  Source* source_ = nullptr;
  Handle handle_{};
};

}  // namespace qd
