#include "app/main/MenuRender.h"

#include <QActionGroup>
#include <QMenu>

void RenderMenu(QMenu& menu, const std::vector<CMenuItem>& items, const MenuChoice& onChosen) {
    QActionGroup* radios = nullptr;
    for (const CMenuItem& item : items) {
        if (!item.radio) {
            radios = nullptr;
        }
        if (item.IsSeparator()) {
            menu.addSeparator();
            continue;
        }
        const QString caption = QString::fromStdWString(item.caption);
        if (!item.submenu.empty() || item.id == 0) {
            QMenu* submenu = menu.addMenu(caption);
            submenu->setEnabled(item.enabled);
            RenderMenu(*submenu, item.submenu, onChosen);
            continue;
        }
        QAction* action = menu.addAction(caption);
        action->setEnabled(item.enabled);
        if (item.radio) {
            if (radios == nullptr) {
                radios = new QActionGroup(&menu);
                radios->setExclusive(true);
            }
            action->setActionGroup(radios);
        }
        if (item.radio || item.checked) {
            action->setCheckable(true);
            action->setChecked(item.checked);
        }
        QObject::connect(action, &QAction::triggered, &menu,
                         [onChosen, item](bool /*checked*/) { onChosen(item); });
    }
}
