// The context menu: its items, their glyphs, and the choice.
#include <cstring>
#include <vector>

#include "framework/win32/menu_glyph.h"
#include "framework/win32/system_library.h"
#include "framework/win32/text.h"
#include "framework/win32/win32_window_system.h"

namespace qd::win32 {

namespace {

// A 32-bit copy of the named bitmap resource with its key colour keyed out (KeyOutMenuGlyph),
// since a menu item bitmap has no transparent colour of its own.
GdiObject MakeMenuGlyph(HINSTANCE instance, const std::string& name, bool themed) {
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

  KeyOutMenuGlyph(pixels, width, height, themed, ::GetSysColor(COLOR_MENU));

  void* bits = nullptr;
  GdiObject glyph(::CreateDIBSection(screen.Get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!glyph.Valid() || bits == nullptr) return {};
  std::memcpy(bits, pixels.data(), pixels.size() * sizeof pixels[0]);
  return glyph;
}

}  // namespace

void KeyOutMenuGlyph(std::vector<std::uint32_t>& pixels, int width, int height, bool themed,
                     COLORREF menuColor) {
  if (width <= 0 || height <= 0 || pixels.size() < static_cast<size_t>(width) * height) return;
  const std::uint32_t key = pixels[static_cast<size_t>(height - 1) * width] & 0xFFFFFFU;
  // DIB pixels are 0xRRGGBB, COLORREF is 0xBBGGRR.
  const std::uint32_t background =
      themed ? 0U
             : (0xFF000000U | (GetRValue(menuColor) << 16U) | (GetGValue(menuColor) << 8U) |
                static_cast<std::uint32_t>(GetBValue(menuColor)));
  for (std::uint32_t& p : pixels) {
    p = (p & 0xFFFFFFU) == key ? background : (p | 0xFF000000U);
  }
}

bool ThemedMenus() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  if (::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
      (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0) {
    return false;
  }
  // Loaded for the question alone: imported, uxtheme would load at every start.
  const HMODULE uxtheme = LoadSystemLibrary(L"uxtheme.dll");
  if (uxtheme == nullptr) return false;
  using IsAppThemedFn = BOOL(WINAPI*)();
  const auto isAppThemed = reinterpret_cast<IsAppThemedFn>(
      reinterpret_cast<void*>(::GetProcAddress(uxtheme, "IsAppThemed")));
  const bool themed = isAppThemed != nullptr && isAppThemed() != FALSE;
  ::FreeLibrary(uxtheme);
  return themed;
}

int Win32WindowSystem::TrackPopupMenu(NativeWindow owner, const std::vector<MenuItemView>& items,
                                      TPoint screenPos) {
  // The glyphs outlive the menu that shows them: DestroyMenu leaves item bitmaps alone.
  std::vector<GdiObject> glyphs;
  glyphs.reserve(items.size());
  const Menu menu(::CreatePopupMenu());
  if (!menu.Valid()) return 0;
  const bool themed = ThemedMenus();
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
      GdiObject& glyph = glyphs.emplace_back(MakeMenuGlyph(instance_, item.glyphResource, themed));
      if (glyph.Valid()) {
        info.fMask |= MIIM_BITMAP;
        info.hbmpItem = static_cast<HBITMAP>(glyph.Get());
      }
    }
    ::InsertMenuItemW(menu.Get(), static_cast<UINT>(i), TRUE, &info);
  }
  HWND hwnd = ToHwnd(owner);
  // Without the foreground the menu would not close when the user clicks elsewhere, nor
  // would its keys reach it. The form gives the keyboard back after (GiveKeyboardBack).
  keyboard_.On({KeyboardEvent::Kind::MenuOpens, hwnd});
  const BOOL chosen =
      ::TrackPopupMenu(menu.Get(), TPM_CENTERALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, screenPos.x,
                       screenPos.y, 0, hwnd, nullptr);
  ::PostMessageW(hwnd, WM_NULL, 0, 0);
  return chosen > 0 && static_cast<size_t>(chosen) <= items.size() ? chosen : 0;
}

}  // namespace qd::win32
