// Owners for the Win32 handles the backend keeps to itself. Each one is released exactly
// once, by the owner that created it. Handles given out above the seam (regions, files,
// waitable timers) go back through the interface, from their qd::Owned owners. All are
// counted so that a leak shows up as a live count that keeps growing.
#pragma once

#include <cstdint>
#include <utility>

#include "framework/native_handles.h"
#include "framework/win32/win32.h"

namespace qd::win32 {

// The handles above the seam carry the Win32 ones as numbers.
template <typename Win32Handle, typename Kind>
Win32Handle ToWin32(NativeHandle<Kind> handle) noexcept {
  return reinterpret_cast<Win32Handle>(handle.Value());
}
template <typename Native, typename Win32Handle>
Native ToNative(Win32Handle handle) noexcept {
  return Native(reinterpret_cast<std::uintptr_t>(handle));
}

// Live objects created by the backend: GDI objects (pens, brushes, bitmaps, regions not
// yet handed to a window, device contexts) and USER objects (menus, windows).
struct LiveObjectCounts {
  long gdi = 0;
  long user = 0;
  long kernel = 0;  // files, timers, registry keys
};
inline LiveObjectCounts& LiveObjects() noexcept {
  static LiveObjectCounts counts;
  return counts;
}

enum class ObjectKind { Gdi, User, Kernel };

inline long& CounterOf(ObjectKind kind) noexcept {
  switch (kind) {
    case ObjectKind::Gdi:
      return LiveObjects().gdi;
    case ObjectKind::User:
      return LiveObjects().user;
    case ObjectKind::Kernel:
      break;
  }
  return LiveObjects().kernel;
}

// Traits: handle type, its "none" value, how it is freed and which counter it feeds.
template <typename Traits>
class Unique {
 public:
  using Handle = typename Traits::Handle;

  Unique() noexcept = default;
  explicit Unique(Handle handle) noexcept : handle_(handle) {
    if (Valid()) ++CounterOf(Traits::kKind);
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : handle_(std::exchange(other.handle_, Traits::None())) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, Traits::None());
    }
    return *this;
  }
  ~Unique() { Reset(); }

  [[nodiscard]] Handle Get() const noexcept { return handle_; }
  [[nodiscard]] bool Valid() const noexcept { return handle_ != Traits::None(); }
  // Gives up ownership, for handles that pass to the system (a window's region).
  [[nodiscard]] Handle Release() noexcept {
    if (Valid()) --CounterOf(Traits::kKind);
    return std::exchange(handle_, Traits::None());
  }
  void Reset() noexcept {
    if (Valid()) {
      Traits::Free(handle_);
      --CounterOf(Traits::kKind);
      handle_ = Traits::None();
    }
  }

 private:
  Handle handle_ = Traits::None();
};

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static constexpr ObjectKind kKind = ObjectKind::Gdi;
  static Handle None() noexcept { return nullptr; }
  static void Free(Handle h) noexcept { ::DeleteObject(h); }
};
struct MenuTraits {
  using Handle = HMENU;
  static constexpr ObjectKind kKind = ObjectKind::User;
  static Handle None() noexcept { return nullptr; }
  static void Free(Handle h) noexcept { ::DestroyMenu(h); }
};
// File handles, whose failure value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static constexpr ObjectKind kKind = ObjectKind::Kernel;
  static Handle None() noexcept { return INVALID_HANDLE_VALUE; }
  static void Free(Handle h) noexcept { ::CloseHandle(h); }
};
// Kernel handles whose failure value is null: file mappings.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static constexpr ObjectKind kKind = ObjectKind::Kernel;
  static Handle None() noexcept { return nullptr; }
  static void Free(Handle h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
  using Handle = HKEY;
  static constexpr ObjectKind kKind = ObjectKind::Kernel;
  static Handle None() noexcept { return nullptr; }
  static void Free(Handle h) noexcept { ::RegCloseKey(h); }
};

using GdiObject = Unique<GdiObjectTraits>;
using Menu = Unique<MenuTraits>;
using FileHandle = Unique<FileHandleTraits>;
using KernelHandle = Unique<KernelHandleTraits>;
using RegKey = Unique<RegKeyTraits>;

// A window's (or, with no window, the screen's) device context from GetDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {
    if (dc_ != nullptr) ++LiveObjects().gdi;
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) {
      ::ReleaseDC(window_, dc_);
      --LiveObjects().gdi;
    }
  }
  [[nodiscard]] HDC Get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back when it goes away, so the
// owner of the object can delete it afterwards.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace qd::win32
