#include "app/ui/controls/pop_up_button_scroller.h"

#include <QtGui/QHelpEvent>
#include <QtGui/QStandardItemModel>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QStyleOptionComboBox>
#include <QtWidgets/QStylePainter>
#include <QtWidgets/QToolTip>

#include "app/ui/controls/wheel_steps.h"

namespace dvk {

ScrollAccumulator PopUpButtonScroller::accumulator_;
std::function<bool()> PopUpButtonScroller::dontScroll_;

PopUpButtonScroller::PopUpButtonScroller(QWidget* parent) : QComboBox(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    // Long titles do not widen the panel: the list shows them whole.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(6);
    connect(this, QOverload<int>::of(&QComboBox::activated), this, [this](int) { emit tagChosen(selectedTag()); });
}

void PopUpButtonScroller::setDontMouseScrollValues(std::function<bool()> query) { dontScroll_ = std::move(query); }

void PopUpButtonScroller::addTaggedItem(const QString& title, long tag, bool enabled) {
    addItem(title, QVariant::fromValue<qlonglong>(tag));
    if (!enabled)
        if (auto* m = qobject_cast<QStandardItemModel*>(model())) m->item(count() - 1)->setEnabled(false);
}

long PopUpButtonScroller::selectedTag() const {
    return currentIndex() < 0 ? 0 : static_cast<long>(itemData(currentIndex()).toLongLong());
}

bool PopUpButtonScroller::selectTag(long tag) {
    const int i = findData(QVariant::fromValue<qlonglong>(tag));
    const QSignalBlocker block(this);
    setCurrentIndex(i);
    return i >= 0;
}

std::vector<PopUpItem> PopUpButtonScroller::items() const {
    std::vector<PopUpItem> out;
    const auto* m = qobject_cast<const QStandardItemModel*>(model());
    for (int i = 0; i < count(); ++i) {
        const bool separator = itemData(i, Qt::AccessibleDescriptionRole).toString() == QLatin1String("separator");
        const bool enabled = !separator && (!m || m->item(i)->isEnabled());
        out.push_back({itemText(i).toStdString(), enabled, static_cast<long>(itemData(i).toLongLong())});
    }
    return out;
}

int PopUpButtonScroller::titleRoom() const {
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    // The label is drawn one pixel in from each side of the edit field.
    return style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this).width() - 2;
}

bool PopUpButtonScroller::showsWholeTitle() const {
    return fontMetrics().horizontalAdvance(currentText()) <= titleRoom();
}

QString PopUpButtonScroller::shownTitle() const {
    return fontMetrics().elidedText(currentText(), Qt::ElideMiddle, titleRoom());
}

void PopUpButtonScroller::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    opt.currentText = shownTitle();
    painter.drawControl(QStyle::CE_ComboBoxLabel, opt);
}

bool PopUpButtonScroller::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !showsWholeTitle()) {
        // Cut short: the tool tip shows the whole title (and the button's own tip).
        const QString tip = toolTip().isEmpty() ? currentText() : currentText() + QLatin1Char('\n') + toolTip();
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, this);
        return true;
    }
    return QComboBox::event(event);
}

void PopUpButtonScroller::wheelEvent(QWheelEvent* event) {
    if (wheelScrollsPanel(this)) {
        event->ignore();  // the panel scrolls
        return;
    }
    const std::optional<double> e = wheelStepDirection(event, isEnabled() && tag_ != 0, dontScroll_, accumulator_);
    if (!e) return;
    const std::optional<int> next = scrolledPopUpIndex(items(), currentIndex(), *e);
    if (!next) return;
    setCursor(Qt::BlankCursor);
    {
        const QSignalBlocker block(this);
        setCurrentIndex(*next);
    }
    emit tagChosen(selectedTag());
}

void PopUpButtonScroller::mouseMoveEvent(QMouseEvent* event) {
    showCursorHiddenByWheel(this);
    QComboBox::mouseMoveEvent(event);
}

}  // namespace dvk
