#pragma once
// Shows a menu model (MainMenus.h) as a QMenu: separators, gray items, check and radio marks
// (each run of radio items is one exclusive group), submenus. Choosing an item hands a copy of
// it to the caller, so the action itself carries what the item acts on.
//
// Threads: user-interface thread only. Ownership: the actions and submenus are children of `menu`.
#include <functional>
#include <vector>

#include "app/main/MainMenus.h"

class QMenu;

using MenuChoice = std::function<void(const CMenuItem& item)>;

void RenderMenu(QMenu& menu, const std::vector<CMenuItem>& items, const MenuChoice& onChosen);
