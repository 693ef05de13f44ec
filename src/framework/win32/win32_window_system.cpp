#include "framework/win32/win32_window_system.h"

#include <climits>
#include <cstring>
#include <exception>
#include <optional>

#include "framework/win32/text.h"

namespace qd::win32 {

namespace {

constexpr wchar_t kAppClassName[] = L"TApplication";
constexpr wchar_t kFormClassName[] = L"TFormMain";
constexpr char kIconName[] = "MAINICON";
constexpr int kParkedPosition = -32000;
// A probe in another process asks for the live-object counts with this message; wParam
// 0, 1, 2 selects GDI, USER or kernel objects.
constexpr char kLiveObjectsMessageName[] = "Quiverdart.LiveObjects";
// ... and the number of timer ticks dispatched to the program's windows so far, so that a
// benchmark can see whether an untouched arrow keeps waking up.
constexpr char kTimerTicksMessageName[] = "Quiverdart.TimerTicks";

HWND ToHwnd(NativeWindow window) { return ToWin32<HWND>(window); }

// A typed character as the key-press handlers take it, in the ANSI code page, as a window
// of the ANSI calls would have it; one outside that code page becomes '?', never the
// control character that cutting it to eight bits would make of it (U+011B: Esc).
char AnsiChar(wchar_t ch) {
  if (ch < 0x80) return static_cast<char>(ch);
  char ansi = '?';
  ::WideCharToMultiByte(CP_ACP, 0, &ch, 1, &ansi, 1, nullptr, nullptr);
  return ansi;
}

TShiftState KeyShiftState() {
  unsigned bits = 0;
  if (::GetKeyState(VK_SHIFT) < 0) bits |= ssShift;
  if (::GetKeyState(VK_CONTROL) < 0) bits |= ssCtrl;
  if (::GetKeyState(VK_MENU) < 0) bits |= ssAlt;
  return TShiftState::FromBits(bits);
}

// The mouse messages carry Shift, Ctrl and the buttons; Alt is read from the keyboard.
TShiftState MouseShiftState(WPARAM keys) {
  unsigned bits = 0;
  if ((keys & MK_SHIFT) != 0) bits |= ssShift;
  if ((keys & MK_CONTROL) != 0) bits |= ssCtrl;
  if ((keys & MK_LBUTTON) != 0) bits |= ssLeft;
  if ((keys & MK_RBUTTON) != 0) bits |= ssRight;
  if ((keys & MK_MBUTTON) != 0) bits |= ssMiddle;
  if (::GetKeyState(VK_MENU) < 0) bits |= ssAlt;
  return TShiftState::FromBits(bits);
}

class DcCanvas final : public Canvas {
 public:
  explicit DcCanvas(HDC dc) : dc_(dc) {}
  explicit DcCanvas(HWND window) : dc_(windowDc_.emplace(window).Get()) {}

  void FillRect(const TRect& rect, TColor color) override {
    const RECT r{rect.left, rect.top, rect.right, rect.bottom};
    const GdiObject brush(::CreateSolidBrush(color));
    ::FillRect(dc_, &r, static_cast<HBRUSH>(brush.Get()));
  }

  void Polyline(const std::vector<TPoint>& points, int penWidth, TColor penColor) override {
    if (points.size() < 2 || points.size() > INT_MAX) return;
    // A wide cosmetic pen has round ends and joins, which the outline relies on.
    const LOGPEN style{PS_SOLID, POINT{penWidth, 0}, penColor};
    const GdiObject pen(::CreatePenIndirect(&style));
    const Selection penSelection(dc_, pen.Get());
    const Selection brushSelection(dc_, ::GetStockObject(HOLLOW_BRUSH));
    std::vector<POINT> vertices;
    vertices.reserve(points.size());
    for (const TPoint& p : points) vertices.push_back(POINT{p.x, p.y});
    ::Polyline(dc_, vertices.data(), static_cast<int>(vertices.size()));
  }

 private:
  std::optional<WindowDc> windowDc_;
  HDC dc_;
};

class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() { ::EndPaint(window_, &paint_); }
  [[nodiscard]] HDC Dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// A copy of the named bitmap resource with the colour of its lower-left pixel replaced by
// the menu background, since a menu item bitmap has no transparent colour of its own.
GdiObject MakeMenuGlyph(HINSTANCE instance, const std::string& name) {
  const GdiObject source(
      ::LoadImageA(instance, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  BITMAP info{};
  if (!source.Valid() || ::GetObjectA(source.Get(), sizeof info, &info) == 0) return {};
  const int width = info.bmWidth;
  const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  if (width <= 0 || height <= 0) return {};

  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top-down rows
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  const WindowDc screen(nullptr);
  if (::GetDIBits(screen.Get(), static_cast<HBITMAP>(source.Get()), 0, static_cast<UINT>(height),
                  pixels.data(), &format, DIB_RGB_COLORS) == 0) {
    return {};
  }

  const std::uint32_t key = pixels[static_cast<size_t>(height - 1) * width] & 0xFFFFFFU;
  const COLORREF menu = ::GetSysColor(COLOR_MENU);
  // DIB pixels are 0xRRGGBB, COLORREF is 0xBBGGRR.
  const std::uint32_t background = (GetRValue(menu) << 16U) | (GetGValue(menu) << 8U) |
                                   static_cast<std::uint32_t>(GetBValue(menu));
  for (std::uint32_t& p : pixels) {
    p = ((p & 0xFFFFFFU) == key ? background : (p & 0xFFFFFFU)) | 0xFF000000U;
  }

  void* bits = nullptr;
  GdiObject glyph(::CreateDIBSection(screen.Get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!glyph.Valid() || bits == nullptr) return {};
  std::memcpy(bits, pixels.data(), pixels.size() * sizeof pixels[0]);
  return glyph;
}

}  // namespace

struct Win32WindowSystem::WindowData {
  Win32WindowSystem* system;
  HWND hwnd;
  WindowEvents* events;
  int minWidth;
  int minHeight;
};

Win32WindowSystem::Win32WindowSystem(HINSTANCE instance) : instance_(instance) {
  if (HMODULE user32 = ::GetModuleHandleA("User32.dll"); user32 != nullptr) {
    setLayeredWindowAttributes_ = reinterpret_cast<SetLayeredWindowAttributesFn>(
        reinterpret_cast<void*>(::GetProcAddress(user32, "SetLayeredWindowAttributes")));
  }
  liveObjectsMessage_ = ::RegisterWindowMessageA(kLiveObjectsMessageName);
  timerTicksMessage_ = ::RegisterWindowMessageA(kTimerTicksMessageName);
  const HICON icon = ::LoadIconA(instance_, kIconName);

  WNDCLASSEXW appClass{};
  appClass.cbSize = sizeof appClass;
  appClass.lpfnWndProc = &AppWindowProc;
  appClass.hInstance = instance_;
  appClass.hIcon = icon;
  appClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  appClass.lpszClassName = kAppClassName;
  ::RegisterClassExW(&appClass);

  WNDCLASSEXW formClass{};
  formClass.cbSize = sizeof formClass;
  formClass.style = CS_DBLCLKS;
  formClass.lpfnWndProc = &FormWindowProc;
  formClass.hInstance = instance_;
  formClass.hIcon = icon;
  formClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  formClass.lpszClassName = kFormClassName;
  ::RegisterClassExW(&formClass);

  // Visible, so that it owns the task-bar entry, but of zero size and parked where
  // minimised windows go, far off every screen: at the screen centre Wine would map it
  // as a one-pixel X window over the arrow's default place.
  appWindow_ = ::CreateWindowExW(
      0, kAppClassName, L"", WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
      kParkedPosition, kParkedPosition, 0, 0, nullptr, nullptr, instance_, this);
}

Win32WindowSystem::~Win32WindowSystem() {
  if (appWindow_ != nullptr) ::DestroyWindow(appWindow_);
}

void Win32WindowSystem::SetApplicationTitle(const std::string& title) {
  ::SetWindowTextW(appWindow_, Utf8ToWide(title).c_str());
}

NativeWindow Win32WindowSystem::CreateAppWindow(const WindowParams& params, WindowEvents& events) {
  auto data = std::make_unique<WindowData>(
      WindowData{this, nullptr, &events, params.minWidth, params.minHeight});
  const bool layered = params.layered && HasLayeredAttributes();
  DWORD exStyle = 0;
  if (params.topMost) exStyle |= WS_EX_TOPMOST;
  if (layered) exStyle |= WS_EX_LAYERED;
  const TRect& b = params.bounds;
  // The window takes the data over at WM_NCCREATE and frees it at WM_NCDESTROY, also when
  // its creation fails after that; before, and if it never gets that far, it is ours.
  HWND hwnd = ::CreateWindowExW(exStyle, kFormClassName, Utf8ToWide(params.caption).c_str(),
                                WS_POPUP, b.left, b.top, b.right - b.left, b.bottom - b.top,
                                appWindow_, nullptr, instance_, &data);
  if (hwnd == nullptr) return {};
  // A layered window stays invisible until it has attributes; start it opaque.
  if (layered) setLayeredWindowAttributes_(hwnd, 0, 255, LWA_ALPHA);
  if (mainWindow_ == nullptr) mainWindow_ = hwnd;
  return ToNative<NativeWindow>(hwnd);
}

void Win32WindowSystem::DestroyAppWindow(NativeWindow window) {
  if (ToHwnd(window) == mainWindow_) mainWindow_ = nullptr;
  ::DestroyWindow(ToHwnd(window));
}

void Win32WindowSystem::SetWindowBounds(NativeWindow window, int left, int top, int width,
                                        int height) {
  ::SetWindowPos(ToHwnd(window), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32WindowSystem::ShowAppWindow(NativeWindow window, bool visible) {
  // Activating: hiding gave the keyboard away, and the keys after a colour pick are the
  // arrow's.
  ::ShowWindow(ToHwnd(window), visible ? SW_SHOW : SW_HIDE);
}

OwnedRegion Win32WindowSystem::CreatePolygonRegion(const std::vector<TPoint>& points) {
  if (points.size() > INT_MAX) return {};
  std::vector<POINT> vertices;
  vertices.reserve(points.size());
  for (const TPoint& p : points) vertices.push_back(POINT{p.x, p.y});
  const HRGN region =
      ::CreatePolygonRgn(vertices.data(), static_cast<int>(vertices.size()), ALTERNATE);
  if (region == nullptr) return {};
  ++LiveObjects().gdi;
  return {*this, ToNative<NativeRegion>(region)};
}

void Win32WindowSystem::SetWindowRegion(NativeWindow window, OwnedRegion region, bool redraw) {
  // On success the region belongs to the system; on failure `region` still frees it.
  if (::SetWindowRgn(ToHwnd(window), ToWin32<HRGN>(region.Get()), redraw ? TRUE : FALSE) != 0 &&
      region) {
    static_cast<void>(region.Release());
    --LiveObjects().gdi;
  }
}

bool Win32WindowSystem::DeleteRegion(NativeRegion region) {
  if (::DeleteObject(ToWin32<HRGN>(region)) == 0) return false;
  --LiveObjects().gdi;
  return true;
}

void Win32WindowSystem::SetLayered(NativeWindow window, bool layered) {
  // Without SetLayeredWindowAttributes a layered window could never be made visible.
  if (!HasLayeredAttributes()) return;
  HWND hwnd = ToHwnd(window);
  const LONG exStyle = ::GetWindowLongA(hwnd, GWL_EXSTYLE);
  const LONG wanted = layered ? (exStyle | WS_EX_LAYERED) : (exStyle & ~WS_EX_LAYERED);
  if (wanted == exStyle) return;
  ::SetWindowLongA(hwnd, GWL_EXSTYLE, wanted);
  if (!layered) {
    ::RedrawWindow(hwnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  }
}

bool Win32WindowSystem::HasLayeredAttributes() { return setLayeredWindowAttributes_ != nullptr; }

void Win32WindowSystem::SetLayeredAlpha(NativeWindow window, std::uint8_t alpha) {
  if (HasLayeredAttributes()) setLayeredWindowAttributes_(ToHwnd(window), 0, alpha, LWA_ALPHA);
}

void Win32WindowSystem::Invalidate(NativeWindow window) {
  ::InvalidateRect(ToHwnd(window), nullptr, TRUE);
}

std::unique_ptr<Canvas> Win32WindowSystem::GetCanvas(NativeWindow window) {
  return std::make_unique<DcCanvas>(ToHwnd(window));
}

bool Win32WindowSystem::StartTimer(NativeWindow window, unsigned timerId, unsigned intervalMs) {
  return ::SetTimer(ToHwnd(window), timerId, intervalMs, nullptr) != 0;
}

void Win32WindowSystem::StopTimer(NativeWindow window, unsigned timerId) {
  ::KillTimer(ToHwnd(window), timerId);
}

void Win32WindowSystem::RunMessageLoop(NativeWindow mainWindow) {
  HWND hwnd = ToHwnd(mainWindow);
  ::ShowWindow(hwnd, SW_SHOW);
  ::UpdateWindow(hwnd);
  ::ShowWindow(appWindow_, SW_SHOWNA);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void Win32WindowSystem::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the main loop.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void Win32WindowSystem::PostQuit() { ::PostQuitMessage(0); }

TPoint Win32WindowSystem::GetCursorPos() {
  POINT p{};
  ::GetCursorPos(&p);
  return TPoint{p.x, p.y};
}

NativeCursor Win32WindowSystem::LoadCursorResource(const std::string& name) {
  return ToNative<NativeCursor>(::LoadCursorA(instance_, name.c_str()));
}

void Win32WindowSystem::ApplyCursor(NativeWindow window, NativeCursor cursor) {
  HWND hwnd = ToHwnd(window);
  POINT p{};
  if (::GetCapture() == hwnd || (::GetCursorPos(&p) && ::WindowFromPoint(p) == hwnd)) {
    ::SetCursor(cursor ? ToWin32<HCURSOR>(cursor) : ::LoadCursorA(nullptr, IDC_ARROW));
  }
}

TRect Win32WindowSystem::GetWorkArea() {
  RECT r{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
  return TRect{r.left, r.top, r.right, r.bottom};
}

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC /*dc*/, LPRECT /*rect*/, LPARAM param) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (::GetMonitorInfoW(monitor, &info)) {
    const RECT& b = info.rcMonitor;
    const RECT& w = info.rcWork;
    reinterpret_cast<std::vector<MonitorInfo>*>(param)->push_back(MonitorInfo{
        TRect{b.left, b.top, b.right, b.bottom}, TRect{w.left, w.top, w.right, w.bottom},
        (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  }
  return TRUE;
}

}  // namespace

std::vector<MonitorInfo> Win32WindowSystem::GetMonitors() {
  std::vector<MonitorInfo> monitors;
  ::EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

bool Win32WindowSystem::RegisterHotKey(NativeWindow window, int hotKeyId, unsigned modifiers,
                                       std::uint16_t key) {
  // A held key gives one press, not a stream of them.
  constexpr UINT kNoRepeat = 0x4000;
  if (::RegisterHotKey(ToHwnd(window), hotKeyId, modifiers | kNoRepeat, key)) return true;
  // Windows before 7 do not know the no-repeat flag.
  return ::GetLastError() != ERROR_HOTKEY_ALREADY_REGISTERED &&
         ::RegisterHotKey(ToHwnd(window), hotKeyId, modifiers, key);
}

void Win32WindowSystem::UnregisterHotKey(NativeWindow window, int hotKeyId) {
  ::UnregisterHotKey(ToHwnd(window), hotKeyId);
}

void Win32WindowSystem::BringToFront(NativeWindow window) {
  HWND hwnd = ToHwnd(window);
  ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(hwnd);
}

bool Win32WindowSystem::RestoreApplication() {
  if (!::IsIconic(appWindow_)) return false;
  Restore();
  return true;
}

TColor Win32WindowSystem::GetScreenPixel(TPoint screenPos) {
  const WindowDc screen(nullptr);
  return ::GetPixel(screen.Get(), screenPos.x, screenPos.y);
}

int Win32WindowSystem::TrackPopupMenu(NativeWindow owner, const std::vector<MenuItemView>& items,
                                      TPoint screenPos) {
  // The glyphs outlive the menu that shows them: DestroyMenu leaves item bitmaps alone.
  std::vector<GdiObject> glyphs;
  glyphs.reserve(items.size());
  const Menu menu(::CreatePopupMenu());
  if (!menu.Valid()) return 0;
  for (size_t i = 0; i < items.size(); ++i) {
    const MenuItemView& item = items[i];
    std::wstring text = Utf8ToWide(item.caption);
    if (!item.shortcutText.empty()) text += L"\t" + Utf8ToWide(item.shortcutText);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
    info.wID = static_cast<UINT>(i + 1);
    info.fState = (item.checked ? MFS_CHECKED : 0U) | (item.enabled ? 0U : MFS_GRAYED);
    info.dwTypeData = text.data();
    if (!item.glyphResource.empty()) {
      GdiObject& glyph = glyphs.emplace_back(MakeMenuGlyph(instance_, item.glyphResource));
      if (glyph.Valid()) {
        info.fMask |= MIIM_BITMAP;
        info.hbmpItem = static_cast<HBITMAP>(glyph.Get());
      }
    }
    ::InsertMenuItemW(menu.Get(), static_cast<UINT>(i), TRUE, &info);
  }
  HWND hwnd = ToHwnd(owner);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  ::SetForegroundWindow(hwnd);
  const BOOL chosen =
      ::TrackPopupMenu(menu.Get(), TPM_CENTERALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, screenPos.x,
                       screenPos.y, 0, hwnd, nullptr);
  ::PostMessageW(hwnd, WM_NULL, 0, 0);
  return chosen > 0 && static_cast<size_t>(chosen) <= items.size() ? chosen : 0;
}

void Win32WindowSystem::ShowMessageBox(NativeWindow /*owner*/, const std::string& text,
                                       const std::string& caption, MessageKind kind) {
  // Task-modal without an owner: every window of the program is disabled while it is open,
  // and the box is centred on the screen. Top-most, or the top-most arrow, which starts at
  // the screen centre, would cover it.
  UINT flags = MB_OK | MB_TASKMODAL | MB_TOPMOST;
  if (kind == MessageKind::Error) flags |= MB_ICONERROR;
  // Without an owner nothing hands the keyboard back when the box closes; the window that
  // had it takes it again, so that F1, Esc and the rest work after the help.
  HWND active = ::GetActiveWindow();
  ::MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), flags);
  if (active != nullptr && ::IsWindow(active) && ::IsWindowVisible(active)) {
    ::SetForegroundWindow(active);
  }
}

bool Win32WindowSystem::ChooseColor(NativeWindow owner, TColor& color,
                                    std::array<TColor, 16>& custom, bool fullOpen, bool solidOnly) {
  std::array<COLORREF, 16> customColors{};
  for (size_t i = 0; i < custom.size(); ++i) customColors[i] = custom[i];
  CHOOSECOLORW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = ToHwnd(owner);
  dialog.rgbResult = color;
  dialog.lpCustColors = customColors.data();
  dialog.Flags = CC_RGBINIT;
  if (fullOpen) dialog.Flags |= CC_FULLOPEN;
  if (solidOnly) dialog.Flags |= CC_SOLIDCOLOR;
  if (chooseColor_ == nullptr) {
    // Loaded at the first use: imported, comdlg32 would bring shell32, comctl32 and the
    // print spooler into every start for a dialog that most runs never open.
    if (const HMODULE comdlg32 = ::LoadLibraryA("comdlg32.dll"); comdlg32 != nullptr) {
      chooseColor_ = reinterpret_cast<ChooseColorFn>(
          reinterpret_cast<void*>(::GetProcAddress(comdlg32, "ChooseColorW")));
    }
    if (chooseColor_ == nullptr) return false;
  }
  if (chooseColor_(&dialog) == 0) return false;
  color = dialog.rgbResult;
  for (size_t i = 0; i < custom.size(); ++i) custom[i] = customColors[i];
  return true;
}

void Win32WindowSystem::Minimize() {
  if (::IsIconic(appWindow_)) return;
  mainWasVisible_ = mainWindow_ != nullptr && ::IsWindowVisible(mainWindow_);
  if (mainWasVisible_) ::ShowWindow(mainWindow_, SW_HIDE);
  ::ShowWindow(appWindow_, SW_MINIMIZE);
}

void Win32WindowSystem::Restore() {
  if (!::IsIconic(appWindow_)) return;
  ::ShowWindow(appWindow_, SW_RESTORE);
  if (mainWindow_ == nullptr) return;
  if (mainWasVisible_) ::ShowWindow(mainWindow_, SW_SHOW);
  auto* data = reinterpret_cast<WindowData*>(::GetWindowLongPtrW(mainWindow_, GWLP_USERDATA));
  if (data != nullptr) data->events->ApplicationOnRestore();
}

LRESULT CALLBACK Win32WindowSystem::AppWindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                  LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    ++LiveObjects().user;
  } else if (msg == WM_NCDESTROY) {
    --LiveObjects().user;
  }
  auto* system = reinterpret_cast<Win32WindowSystem*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (system == nullptr || msg == WM_NCCREATE || msg == WM_NCDESTROY) {
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  // The form's handlers run from here too (a restore), under the form's guard; before
  // the form has a window nothing here can fail.
  auto* form =
      system->mainWindow_ == nullptr
          ? nullptr
          : reinterpret_cast<WindowData*>(::GetWindowLongPtrW(system->mainWindow_, GWLP_USERDATA));
  if (form == nullptr) return system->HandleAppMessage(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  Guarded(*form->events, [&] { result = system->HandleAppMessage(hwnd, msg, wParam, lParam); });
  return result;
}

LRESULT Win32WindowSystem::HandleAppMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0U) {
        case SC_MINIMIZE:
          Minimize();
          return 0;
        case SC_RESTORE:
          if (::IsIconic(hwnd)) {
            Restore();
            return 0;
          }
          break;
        case SC_KEYMENU:
          // This window has the keyboard while the arrow is hidden (a colour pick); menu
          // mode on it would be invisible and hold the program with the arrow hidden.
          return 0;
        default:
          break;
      }
      break;
    case WM_CLOSE:
      // Closing the task-bar entry closes the main window.
      if (mainWindow_ != nullptr) ::SendMessageW(mainWindow_, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETFOCUS:
      // Keys go to the main window, never to the invisible owner.
      if (mainWindow_ != nullptr && ::IsWindowVisible(mainWindow_) &&
          ::IsWindowEnabled(mainWindow_)) {
        ::SetFocus(mainWindow_);
      }
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK Win32WindowSystem::FormWindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                   LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    WindowData* adopted =
        static_cast<std::unique_ptr<WindowData>*>(create->lpCreateParams)->release();
    adopted->hwnd = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(adopted));
    ++LiveObjects().user;
  }
  auto* data = reinterpret_cast<WindowData*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    delete data;
    --LiveObjects().user;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  if (data == nullptr) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  LRESULT result = 0;
  Guarded(*data->events,
          [&] { result = data->system->HandleFormMessage(*data, msg, wParam, lParam); });
  return result;
}

LRESULT Win32WindowSystem::HandleFormMessage(WindowData& data, UINT msg, WPARAM wParam,
                                             LPARAM lParam) {
  WindowEvents& events = *data.events;
  HWND hwnd = data.hwnd;
  if (msg == liveObjectsMessage_ && liveObjectsMessage_ != 0) {
    const LiveObjectCounts& counts = LiveObjects();
    return wParam == 0 ? counts.gdi : wParam == 1 ? counts.user : counts.kernel;
  }
  if (msg == timerTicksMessage_ && timerTicksMessage_ != 0) {
    return static_cast<LRESULT>(timerTicks_);
  }
  switch (msg) {
    case WM_PAINT: {
      const PaintScope paint(hwnd);
      DcCanvas canvas(paint.Dc());
      events.FormMainOnPaint(canvas);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint fills the whole window
    case WM_LBUTTONDOWN:
      // The window keeps the mouse from a left press to its release.
      ::SetCapture(hwnd);
      events.FormMainOnMouseDown(TMouseButton::mbLeft, MouseShiftState(wParam),
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_RBUTTONDOWN:
      events.FormMainOnMouseDown(TMouseButton::mbRight, MouseShiftState(wParam),
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MBUTTONDOWN:
      events.FormMainOnMouseDown(TMouseButton::mbMiddle, MouseShiftState(wParam),
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    // The second press of a double-click is still a press, marked as double.
    case WM_LBUTTONDBLCLK:
      ::SetCapture(hwnd);
      events.FormMainOnDblClick();
      events.FormMainOnMouseDown(TMouseButton::mbLeft, MouseShiftState(wParam) + ssDouble,
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_RBUTTONDBLCLK:
      events.FormMainOnMouseDown(TMouseButton::mbRight, MouseShiftState(wParam) + ssDouble,
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MBUTTONDBLCLK:
      events.FormMainOnMouseDown(TMouseButton::mbMiddle, MouseShiftState(wParam) + ssDouble,
                                 GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
      ::ReleaseCapture();
      events.FormMainOnMouseUp(TMouseButton::mbLeft, MouseShiftState(wParam), GET_X_LPARAM(lParam),
                               GET_Y_LPARAM(lParam));
      return 0;
    case WM_RBUTTONUP:
      events.FormMainOnMouseUp(TMouseButton::mbRight, MouseShiftState(wParam), GET_X_LPARAM(lParam),
                               GET_Y_LPARAM(lParam));
      // DefWindowProc turns the release into WM_CONTEXTMENU.
      break;
    case WM_MBUTTONUP:
      events.FormMainOnMouseUp(TMouseButton::mbMiddle, MouseShiftState(wParam),
                               GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEMOVE:
      events.FormMainOnMouseMove(MouseShiftState(wParam), GET_X_LPARAM(lParam),
                                 GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEWHEEL:
      events.FormMainOnMouseWheel(MouseShiftState(GET_KEYSTATE_WPARAM(wParam)),
                                  GET_WHEEL_DELTA_WPARAM(wParam),
                                  TPoint{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_KEYDOWN:
      events.FormMainOnKeyDown(static_cast<std::uint16_t>(wParam), KeyShiftState());
      return 0;
    case WM_KEYUP:
      events.FormMainOnKeyUp(static_cast<std::uint16_t>(wParam), KeyShiftState());
      return 0;
    // Alt combinations: the handlers see them, and DefWindowProc still turns Alt+F4 into
    // the close command.
    case WM_SYSKEYDOWN:
      events.FormMainOnKeyDown(static_cast<std::uint16_t>(wParam), KeyShiftState());
      break;
    case WM_SYSKEYUP:
      events.FormMainOnKeyUp(static_cast<std::uint16_t>(wParam), KeyShiftState());
      break;
    case WM_CHAR:
      events.FormMainOnKeyPress(AnsiChar(static_cast<wchar_t>(wParam)));
      return 0;
    case WM_SYSCOMMAND:
      // There is no menu bar; menu mode after a lone Alt would swallow the next keys.
      if ((wParam & 0xFFF0U) == SC_KEYMENU) return 0;
      break;
    case WM_CONTEXTMENU: {
      // From the keyboard's menu key the position is -1, -1.
      const TPoint at =
          lParam == -1 ? GetCursorPos() : TPoint{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      events.FormMainOnContextPopup(at);
      return 0;
    }
    case WM_TIMER:
      ++timerTicks_;
      events.OnTimer(static_cast<unsigned>(wParam));
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd) {
        const NativeCursor cursor = events.OnSetCursor();
        ::SetCursor(cursor ? ToWin32<HCURSOR>(cursor) : ::LoadCursorA(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
      if ((pos->flags & SWP_NOSIZE) == 0) {
        if (pos->cx < data.minWidth) pos->cx = data.minWidth;
        if (pos->cy < data.minHeight) pos->cy = data.minHeight;
      }
      break;
    }
    case WM_WINDOWPOSCHANGED: {
      // A minimised or hidden window reports a position far off the screen.
      RECT r{};
      if (::IsWindowVisible(hwnd) && !::IsIconic(appWindow_) && ::GetWindowRect(hwnd, &r)) {
        events.OnBoundsChanged(r.left, r.top, r.right - r.left, r.bottom - r.top);
      }
      break;
    }
    case WM_DISPLAYCHANGE:
      events.FormMainOnDisplayChange();
      break;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETWORKAREA) events.FormMainOnDisplayChange();
      break;
    case WM_HOTKEY:
      events.FormMainOnHotKey(static_cast<int>(wParam));
      return 0;
    case WM_CLOSE:
      events.OnCloseRequest();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != 0) events.OnEndSession();
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace qd::win32
