#include "app/ui/controls/compact_rows.h"

#include <algorithm>

#include <QtGui/QFontMetrics>
#include <QtWidgets/QAbstractButton>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QRadioButton>
#include <QtWidgets/QSlider>
#include <QtWidgets/QWidget>

namespace dvk {

QFont smallControlFont(const QFont& base) {
    QFont f = base;
    if (base.pointSizeF() > 0)
        f.setPointSizeF(base.pointSizeF() * 11.0 / 13.0);
    else
        f.setPixelSize(std::max(8, base.pixelSize() * 11 / 13));
    return f;
}

int compactRowHeight(const QFont& font) {
    // The text's line and a frame of two pixels above and below it.
    return QFontMetrics(font).height() + 4;
}

void makeRowsCompact(QWidget* panel) {
    for (QWidget* w : panel->findChildren<QWidget*>()) {
        const int row = compactRowHeight(w->font());
        if (auto* label = qobject_cast<QLabel*>(w); label && label->wordWrap() && label->minimumWidth() > 0)
            // A caption that wraps at its fixed width keeps all its lines.
            label->setMinimumHeight(label->heightForWidth(label->minimumWidth()));
        else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
            w->setFixedHeight(std::min(w->sizeHint().height(), row));
        else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QSlider*>(w) ||
                 qobject_cast<QAbstractButton*>(w))
            w->setFixedHeight(row);
    }
    // The rows' new heights reach the layouts inside layouts now, not at
    // the next layout pass: the panel's height is asked before that.
    if (QLayout* layout = panel->layout()) {
        layout->invalidate();
        layout->activate();
    }
}

}  // namespace dvk
