#include "app/ui/controls/cropping_image_view.h"

#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QScrollBar>

#include "app/ui/controls/no_click_through.h"
#include "app/window/view_coordinates.h"

namespace dvk {

namespace {

PointD toPoint(QPointF p) { return {p.x(), p.y()}; }

}  // namespace

CroppingImageView::CroppingImageView(QWidget* parent) : QWidget(parent) {
    setAcceptDrops(false);  // drops reach the window
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CroppingImageView::setImage(const QImage& image) {
    image_ = image;
    update();
}

void CroppingImageView::setWidthAndHeight(unsigned width, unsigned height) {
    width_ = width;
    height_ = height;
    update();
}

void CroppingImageView::setScalesDown(bool on) {
    scalesDown_ = on;
    update();
}

void CroppingImageView::setSelectionMarker(const CropMarker& marker) {
    marker_ = marker;
    update();
}

RectD CroppingImageView::drawnRect() const {
    return drawnImageRect({static_cast<double>(width()), static_cast<double>(height())}, width_, height_, scalesDown_);
}

RectD CroppingImageView::selectedImageRect() const {
    return dvk::selectedImageRect(marker_.selectedRect(), drawnRect(), width_, height_);
}

PointD CroppingImageView::imagePointAt(QPointF p) const {
    return clickedImagePoint(toPoint(p), drawnRect(), width_, height_);
}

QImage CroppingImageView::croppedImage() const {
    const RectD r = selectedImageRect();
    if (r.isEmpty() || image_.isNull()) return image_;
    const double sx = image_.width() / static_cast<double>(width_ ? width_ : 1);
    const double sy = image_.height() / static_cast<double>(height_ ? height_ : 1);
    return image_.copy(QRectF(r.x * sx, r.y * sy, r.width * sx, r.height * sy).toAlignedRect());
}

void CroppingImageView::postSelectionChangedNotification() { emit notify(QStringLiteral("ImageSelectionChanged"), {}); }

QScrollArea* CroppingImageView::scrollArea() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* s = qobject_cast<QScrollArea*>(w)) return s;
    return nullptr;
}

void CroppingImageView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // A neutral mid-dark grey around the image.
    p.fillRect(rect(), kBackground);
    if (!image_.isNull()) {
        const RectD d = drawnRect();
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.drawImage(QRectF(d.x, d.y, d.width, d.height), image_);
    }
    const RectD s = marker_.selectedRect();
    if (!s.isEmpty()) {
        const Rgba c = marker_.strokeColor();
        p.setRenderHint(QPainter::Antialiasing, shouldAntiAlias_);
        p.setPen(QPen(QColor::fromRgbF(c.r, c.g, c.b, c.a), CropMarker::kLineWidth));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(s.x, s.y, s.width, s.height));
    }
}

void CroppingImageView::postClick(QMouseEvent* event, int clicks) {
    const Qt::KeyboardModifiers m = event->modifiers();
    const bool command = m & Qt::ControlModifier, option = m & Qt::AltModifier, control = m & Qt::MetaModifier;
    QString name;
    if (clicks >= 2)
        name = QStringLiteral("doubleClick");
    else if (command)
        name = option ? QStringLiteral("cmdOptClick") : QStringLiteral("cmdClick");
    else if (control)
        name = option ? QStringLiteral("ctrlOptClick") : QStringLiteral("ctrlClick");
    if (!name.isEmpty()) emit notify(name, event->position());
}

void CroppingImageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (activatesWindowInstead(this)) {
        event->ignore();
        return;
    }
    pressed_ = true;
    doubleClicked_ = false;
    panning_ = event->modifiers() & Qt::ShiftModifier;
    lastPan_ = event->globalPosition();
    if (!panning_) marker_.mouseDown(toPoint(event->position()));
    postClick(event, 1);
}

void CroppingImageView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The zoom switch it asks for moves the image under the pointer: a
    // selection begun here would span from the old place to the new one.
    pressed_ = true;
    doubleClicked_ = true;
    panning_ = event->modifiers() & Qt::ShiftModifier;
    lastPan_ = event->globalPosition();
    postClick(event, 2);
}

void CroppingImageView::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_ || doubleClicked_) return;
    if (event->modifiers() & Qt::ShiftModifier) {
        QScrollArea* s = scrollArea();
        if (!s || (!s->horizontalScrollBar()->isVisible() && !s->verticalScrollBar()->isVisible())) return;
        setCursor(Qt::ClosedHandCursor);
        const QPointF d = event->globalPosition() - lastPan_;
        lastPan_ = event->globalPosition();
        s->horizontalScrollBar()->setValue(s->horizontalScrollBar()->value() - static_cast<int>(d.x()));
        s->verticalScrollBar()->setValue(s->verticalScrollBar()->value() - static_cast<int>(d.y()));
        return;
    }
    setCursor(Qt::CrossCursor);
    marker_.mouseDragged(toPoint(event->position()));
    if (continuous_) postSelectionChangedNotification();
    selectionChanged();
}

void CroppingImageView::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed_ || event->button() != Qt::LeftButton) return;
    pressed_ = false;
    panning_ = false;
    unsetCursor();
    if (event->modifiers() & Qt::ShiftModifier) return;
    if (doubleClicked_)
        doubleClicked_ = false;
    else
        marker_.mouseUp(toPoint(event->position()));
    selectionChanged();
    postSelectionChangedNotification();
}

}  // namespace dvk
