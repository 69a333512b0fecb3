// CroppingImageView: the right-click menu, a second road to the modifier
// clicks and drags on the image.
#include <QtGui/QContextMenuEvent>
#include <QtWidgets/QMenu>

#include "app/ui/controls/cropping_image_view.h"

namespace dvk {

void CroppingImageView::contextMenuEvent(QContextMenuEvent* event) {
    if (image_.isNull()) return;
    const QPointF at = event->pos();
    QMenu menu(this);
    // Each entry posts what its click would, at the point clicked.
    const auto click = [&](const QString& title, const char* name) {
        menu.addAction(title, this, [this, at, name] { emit notify(QString::fromLatin1(name), at); });
    };
    click(tr("White Balance from Here\tCtrl+Click"), "cmdClick");
    click(tr("White Balance from a Larger Area\tCtrl+Alt+Click"), "cmdOptClick");
    click(tr("Read Out Here\tMeta+Click"), "ctrlClick");
    click(tr("Read Out a Larger Area\tMeta+Alt+Click"), "ctrlOptClick");
    menu.addSeparator();
    const bool selected = !selectedImageRect().isEmpty();
    menu.addAction(tr("White Balance from the Selection\tCtrl+Drag"), this, [this] { emit selectionUsed(true); })
        ->setEnabled(selected);
    menu.addAction(tr("Read Out the Selection\tMeta+Drag"), this, [this] { emit selectionUsed(false); })
        ->setEnabled(selected);
    menu.exec(event->globalPos());
}

}  // namespace dvk
