#include "app/ui/main_window/profiles_menu.h"

#include <QtGui/QAction>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

namespace dvk {

namespace {

// A title as menu text: '&' stands for itself, not for a mnemonic.
QString menuText(const std::string& title) {
    return QString::fromStdString(title).replace(QLatin1Char('&'), QLatin1String("&&"));
}

}  // namespace

ProfilesMenu::ProfilesMenu(QMenuBar& menuBar, QWidget& window, std::function<void(const std::string&)> chosen)
    : menuBar_(menuBar), window_(window), chosen_(std::move(chosen)) {}

void ProfilesMenu::setProfilesMenu(const MenuItems* items) {
    for (QAction* a : menuBar_.actions())
        if (a->menu() && a->text() == QLatin1String("Profiles")) {
            menuBar_.removeAction(a);
            a->menu()->deleteLater();
        }
    menu_ = nullptr;
    if (!items) return;
    auto* menu = new QMenu(QStringLiteral("Profiles"), &menuBar_);
    for (const MenuItem& item : *items) {
        if (item.kind == MenuItemKind::Separator) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(menuText(item.title));
        if (item.kind == MenuItemKind::Header) {
            QObject::connect(a, &QAction::triggered, menu, [] { blah(); });
            continue;
        }
        a->setCheckable(true);
        QObject::connect(a, &QAction::triggered, menu, [this, title = item.title] {
            if (chosen_) chosen_(title);
        });
    }
    const QList<QAction*> bar = menuBar_.actions();
    QAction* before = bar.size() > kPosition ? bar[kPosition] : nullptr;
    menuBar_.insertMenu(before, menu);
    menu_ = menu;
}

void ProfilesMenu::checkProfileItem(const std::string& title) {
    if (!menu_) return;
    const QString t = menuText(title);
    for (QAction* a : menu_->actions())
        if (a->isCheckable()) a->setChecked(a->text() == t);
}

void ProfilesMenu::setWindowTitle(const std::string& title) { window_.setWindowTitle(QString::fromStdString(title)); }

}  // namespace dvk
