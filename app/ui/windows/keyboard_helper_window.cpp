#include "app/ui/windows/keyboard_helper_window.h"

#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

namespace dvk {

KeyboardHelperWindow::KeyboardHelperWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Keyboard Helper"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(this);
    text->setTextFormat(Qt::RichText);
    text->setText(tr("<table cellspacing='4'>"
                     "<tr><td><b>Double-click</b></td><td>zoom to fit / one to one at the point</td></tr>"
                     "<tr><td><b>Ctrl-click</b></td><td>white balance from the point</td></tr>"
                     "<tr><td><b>Ctrl-Alt-click</b></td><td>white balance from a larger area</td></tr>"
                     "<tr><td><b>Ctrl-drag</b></td><td>white balance from the rectangle</td></tr>"
                     "<tr><td><b>Meta-click</b></td><td>read out the colour of the point</td></tr>"
                     "<tr><td><b>Meta-Alt-click</b></td><td>read out a larger area</td></tr>"
                     "<tr><td><b>Meta-drag</b></td><td>read out the rectangle</td></tr>"
                     "<tr><td><b>Drag</b></td><td>select: histogram and diagram of the selection</td></tr>"
                     "<tr><td><b>Shift-drag</b></td><td>move the image (one to one)</td></tr>"
                     "<tr><td><b>Zone button</b></td><td>highlight compression by the zone's distance "
                     "(Shift: to the middle of the zone)</td></tr>"
                     "<tr><td><b>Alt + Apply</b></td><td>reset to defaults (also: right-click Apply)</td></tr>"
                     "<tr><td><b>Right-click</b></td><td>the clicks and drags above from a menu, where the "
                     "window manager takes Alt- or Meta-clicks</td></tr>"
                     "<tr><td><b>Scroll wheel</b></td><td>steps the field or pop-up under the pointer (where the panel "
                     "scrolls, only the one with the focus)</td></tr>"
                     "</table>"));
    // Narrow enough to fit beside the main window where its image leaves
    // room: the descriptions wrap.
    text->setWordWrap(true);
    text->setFixedWidth(text->fontMetrics().averageCharWidth() * 64);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
}

}  // namespace dvk
