#include "app/ui/shell/help_menu.h"

#include <QtGui/QAction>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

#include "app/controller/help_actions.h"

namespace dvk {

namespace {

QAction* addItem(QMenu* menu, const QString& title, const char* name) {
    QAction* a = menu->addAction(title);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

}  // namespace

void addToolsAndHelpMenus(QMenuBar& bar, HelpActions& actions) {
    QMenu* tools = bar.addMenu(QObject::tr("&Tools"));
    QObject::connect(addItem(tools, QObject::tr("Install Lightroom Plug-in"), "installLR2Plugin:"),
                     &QAction::triggered, tools, [&actions] { actions.installLR2Plugin(); });
    QObject::connect(addItem(tools, QObject::tr("Open Last Batch in Editor"), "exportBatchSavedToApp:"),
                     &QAction::triggered, tools, [&actions] { actions.exportBatchSavedToApp(); });

    QMenu* help = bar.addMenu(QObject::tr("&Help"));
    // openManual: goes by the item's title, which is "Manual".
    QAction* manual = addItem(help, QStringLiteral("Manual"), "openManual:");
    QObject::connect(manual, &QAction::triggered, help,
                     [&actions, manual] { actions.openManual(manual->text().toStdString()); });
    QObject::connect(addItem(help, QObject::tr("Send Feedback..."), "feedback:"), &QAction::triggered, help,
                     [&actions] { actions.feedback(); });
    help->addSeparator();
    QObject::connect(addItem(help, QObject::tr("Archive Diagnostics on the Desktop"), "archiveCrashLogs:"),
                     &QAction::triggered, help, [&actions] { actions.archiveCrashLogs(); });
}

}  // namespace dvk
