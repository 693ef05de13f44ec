// What probe_menu.dll reads about a popup menu inside the program's own process, where Wine
// keeps menu handles (another process cannot read them), and hands back to probe.exe.
#pragma once

#include <windows.h>

namespace probe_menu {

constexpr int kMaxItems = 32;
constexpr int kMaxText = 256;

struct Item {
  wchar_t text[kMaxText];  // "caption\tshortcut"
  UINT state;              // GetMenuState by position
  BOOL hasRect;
  RECT rect;               // screen coordinates
};

struct Block {
  HMENU menu;
  HWND window;  // the menu's "#32768" window
  int count;
  Item items[kMaxItems];
};

// Exported undecorated (--kill-at), so that probe.exe finds it by this name.
constexpr char kReadMenuName[] = "ReadMenu";

}  // namespace probe_menu
