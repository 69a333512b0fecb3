// MainWindow: the size the window may take for the image, zoom to fit and
// one to one, and the anchoring of the window's top-right corner.
#include <QtGui/QResizeEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QScrollBar>
#include <QtCore/QTimer>

#include "app/ui/controls/cropping_image_view.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/main_window/window_corner.h"
#include "platform/user_defaults.h"
#include "app/window/window_geometry.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

namespace {

SizeD toSize(QSize s) { return {static_cast<double>(s.width()), static_cast<double>(s.height())}; }
QSize toQSize(SizeD s) {
    return QSize(static_cast<int>(std::lround(s.width)), static_cast<int>(std::lround(s.height)));
}

}  // namespace

RectD MainWindow::screenVisibleRect() const {
    const QScreen* s = screen();
    if (!s) return {};
    const QRect v = s->availableGeometry();
    return {static_cast<double>(v.x()), static_cast<double>(v.y()), static_cast<double>(v.width()),
            static_cast<double>(v.height())};
}

SizeD MainWindow::screenVisibleSize() const { return screenVisibleRect().size(); }

void MainWindow::setTopRightPoints(CornerDistance landscape, CornerDistance portrait) {
    topRightPointL_ = landscape;
    topRightPointP_ = portrait;
}

QSize MainWindow::windowWillResize(QSize proposed) const {
    WindowResizeInput in;
    in.isMainWindow = true;
    in.width = pc_.width();
    in.height = pc_.height();
    in.hasWorkingImage = pc_.hasWorkingImage();
    in.fullScreen = isFullScreen();
    in.zoomToFit = pc_.controls().zoomToFit;
    in.currentFrame = toSize(size());
    in.proposedFrame = toSize(proposed);
    in.screenVisible = screenVisibleSize();
    // Menus above the content belong to the window's frame here.
    in.frameExtra = {0, static_cast<double>(height() - content_->height())};
    return toQSize(dvk::windowWillResize(in));
}

QRect MainWindow::anchorFrameRect(QRect rect) {
    // The corner is the frame's, as windowDidMove records it: the frame
    // (the window with its decorations) is placed, the window inside it.
    const QRect frame = frameGeometry(), client = geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    AnchorInput in;
    in.size = toSize(rect.size().grownBy(margins));
    in.visible = screenVisibleRect();
    in.topRightPointL = topRightPointL_;
    in.topRightPointP = topRightPointP_;
    in.fullScreen = isFullScreen();
    if (const QScreen* s = screen()) in.screen = toSize(s->geometry().size());
    in.currentFrame = toSize(size());
    if (in.visible.isEmpty()) return rect;
    const RectD r = dvk::anchorFrameRect(in);
    const QRect placed(static_cast<int>(r.x) + margins.left(), static_cast<int>(r.y) + margins.top(), rect.width(),
                       rect.height());
    adjustingSize_ = true;
    setGeometry(placed);
    adjustingSize_ = false;
    // The window system may report this move later, as if the user had made it.
    anchoredFrameOrigin_ = QPoint(static_cast<int>(r.x), static_cast<int>(r.y));
    return placed;
}

void MainWindow::anchorWindow() { anchorFrameRect(geometry()); }

void MainWindow::zoomToFitChanged() {
    const QSize allowed = windowWillResize(size());
    anchorFrameRect(QRect(geometry().topLeft(), allowed));
    const bool fit = pc_.controls().zoomToFit;
    if (fit) {
        rememberedScroll_ =
            QPoint(scrollArea_->horizontalScrollBar()->value(), scrollArea_->verticalScrollBar()->value());
        scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scrollArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        imageView_->setScalesDown(true);
        scrollArea_->setWidgetResizable(true);
    } else {
        scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        scrollArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        imageView_->setScalesDown(false);
        scrollArea_->setWidgetResizable(false);
        imageView_->resize(static_cast<int>(pc_.width()), static_cast<int>(pc_.height()));
        scrollArea_->horizontalScrollBar()->setValue(rememberedScroll_.x());
        scrollArea_->verticalScrollBar()->setValue(rememberedScroll_.y());
    }
    layoutContent();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // windowDidMove: a move the user made (not one of ours) records the corner.
    if (adjustingSize_ || !event->spontaneous() || frameGeometry().topLeft() == anchoredFrameOrigin_) return;
    if (const auto record = windowDidMove(*this, true, UserDefaults::standard())) {
        if (std::string(record->key) == "topRightPointP")
            topRightPointP_ = record->distance;
        else
            topRightPointL_ = record->distance;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::Resize) layoutContent();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (adjustingSize_ || pc_.width() == 0) return;
    // The window keeps the image's shape: a size the rule does not allow is
    // replaced by the one it allows, once the resize has settled.
    const QSize allowed = windowWillResize(event->size());
    if (allowed != event->size() && allowed.isValid())
        QTimer::singleShot(0, this, [this, allowed] {
            if (size() == allowed) return;
            adjustingSize_ = true;
            resize(allowed);
            adjustingSize_ = false;
        });
}

}  // namespace dvk
