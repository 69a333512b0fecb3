#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <vector>

#include "platform/alert.h"
#include "platform/qt/qt_platform.h"

namespace dvk {

int presentAlertWithMessageBox(const AlertRequest& request) {
    if (request.buttons.empty()) return -1;
    QMessageBox box(QApplication::activeWindow());
    box.setIcon(alertStyle(request) == AlertStyle::Warning ? QMessageBox::Warning : QMessageBox::Information);
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setTextFormat(Qt::PlainText);
    const QString text = QString::fromStdString(request.text);
    if (request.title && !request.title->empty()) {
        box.setText(QString::fromStdString(*request.title));
        if (!text.isEmpty()) box.setInformativeText(text);
    } else {
        box.setText(text);
    }
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    // Every button takes the same role: a button box keeps buttons of one role
    // in the order they were added, where different roles would be reordered
    // by the platform's conventions.
    std::vector<QPushButton*> buttons;
    for (const std::string& title : request.buttons)
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    box.setDefaultButton(buttons.front());
    // Escape answers the alert's cancelling choice ("Cancel", else "Later",
    // else its only button); an alert without one waits for a button.
    if (const int cancel = cancellingAnswer(request); cancel >= 1000)
        box.setEscapeButton(buttons[static_cast<std::size_t>(cancel - 1000)]);
    {
        const KeyboardFocusReturn focus;
        box.exec();
    }
    QAbstractButton* pressed = box.clickedButton();
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i] == pressed) return 1000 + static_cast<int>(i);
    return -1;
}

}  // namespace dvk
