// Loaded into the program by probe.exe and run on a thread of its own there: reads the open
// popup menu named in the block that probe.exe wrote into the program's memory.
#include "probe_menu.h"

extern "C" __declspec(dllexport) DWORD WINAPI ReadMenu(void* parameter) {
  auto* block = static_cast<probe_menu::Block*>(parameter);
  block->count = GetMenuItemCount(block->menu);
  for (int i = 0; i < block->count && i < probe_menu::kMaxItems; ++i) {
    probe_menu::Item& item = block->items[i];
    GetMenuStringW(block->menu, static_cast<UINT>(i), item.text, probe_menu::kMaxText,
                   MF_BYPOSITION);
    item.state = GetMenuState(block->menu, static_cast<UINT>(i), MF_BYPOSITION);
    item.hasRect = GetMenuItemRect(block->window, block->menu, static_cast<UINT>(i), &item.rect);
  }
  return block->count >= 0 ? 0 : 1;
}
