// MainWindow: the size the window may take for the image, zoom to fit and
// one to one, and the anchoring of the window's top-right corner.
#include <algorithm>
#include <QtGui/QResizeEvent>
#include <QtGui/QScreen>
#include <QtWidgets/QLayout>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QScrollBar>
#include <QtCore/QTimer>

#include "app/ui/controls/cropping_image_view.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/main_window/window_corner.h"
#include "app/ui/windows/secondary_window.h"
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

QMargins MainWindow::decorations() const {
    const QRect frame = frameGeometry(), client = geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

QRect MainWindow::clientArea() const {
    const QScreen* s = screen();
    return s ? s->availableGeometry().marginsRemoved(decorations()) : QRect();
}

int MainWindow::menusHeight() const {
    // Before the window is laid out the menu bar's own height says it.
    if (!testAttribute(Qt::WA_WState_Visible) && menuWidget()) return menuWidget()->sizeHint().height();
    return height() - content_->height();
}

void MainWindow::keepLeastSizeOnScreen() {
    const int menus = menusHeight();
    const QRect area = clientArea();
    const double least = leastContentHeight(panelHeightWanted(), area.isValid() ? area.height() - menus : 0);
    // Wide enough for every menu of the bar: here the menus are the window's,
    // and an empty window would hide the last ones behind an overflow button.
    const int menusWidth = menuWidget() ? menuWidget()->sizeHint().width() : 0;
    content_->setMinimumSize(std::max(static_cast<int>(kSidePanelWidth) + 64, menusWidth), static_cast<int>(least));
    // The window's own least size follows now, not at the next layout pass:
    // a placement right after may make it smaller.
    if (layout()) layout()->activate();
}

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
    // The room on the screen less the window system's frame: the sizes here
    // are the window's own, the menus above the content included.
    in.screenVisible = toSize(clientArea().size());
    in.frameExtra = {0, static_cast<double>(menusHeight())};
    in.panelHeight = panelHeightWanted();
    return toQSize(dvk::windowWillResize(in));
}

QRect MainWindow::anchorFrameRect(QRect rect) {
    // A maximised window fills the screen's free area: the window system
    // sizes it (a size or a move of ours would end the maximised state).
    keepLeastSizeOnScreen();
    if (isMaximized()) return geometry();
    return placeAtAnchor(rect, decorations());
}

QRect MainWindow::anchorNormalFrameRect(QRect rect) {
    if (!isMaximized()) return anchorFrameRect(rect);
    // The window system frames a maximised window without its borders: the
    // normal frame is the one the window had when it was last placed.
    const QMargins normal = anchoredDecorations_;
    showNormal();
    keepLeastSizeOnScreen();
    const QRect placed = placeAtAnchor(rect, normal);
    leavingMaximised_ = frameGeometry().topLeft() != anchoredFrameOrigin_;
    return placed;
}

QRect MainWindow::placeAtAnchor(QRect rect, QMargins margins) {
    // The corner is the frame's, as windowDidMove records it: the frame
    // (the window with its decorations) is placed, the window inside it.
    AnchorInput in;
    in.size = toSize(rect.size().grownBy(margins));
    // The size the window really takes: no less than its least size.
    in.least = toSize(minimumSizeHint().expandedTo(minimumSize()).grownBy(margins));
    in.visible = screenVisibleRect();
    in.topRightPointL = topRightPointL_;
    in.topRightPointP = topRightPointP_;
    in.fullScreen = isFullScreen();
    if (const QScreen* s = screen()) in.screen = toSize(s->geometry().size());
    in.currentFrame = toSize(size());
    if (in.visible.isEmpty()) return rect;
    const RectD r = dvk::anchorFrameRect(in);
    const QRect frame(static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.width),
                      static_cast<int>(r.height));
    const QRect placed = frame.marginsRemoved(margins);
    adjustingSize_ = true;
    if (margins == decorations()) {
        // The frame's corner is placed (a top-level window's position is
        // its frame's): the window system puts its title bar there, not
        // above it.
        resize(placed.size());
        move(frame.topLeft());
    } else {
        // The frame the window system has now is not the one to come: the
        // window itself is placed inside the frame to come.
        setGeometry(placed);
    }
    adjustingSize_ = false;
    // The window system may report this move later, as if the user had made it.
    anchoredFrameOrigin_ = frame.topLeft();
    anchoredDecorations_ = margins;
    return placed;
}

void MainWindow::maximise() {
    // The window manager maximises the window. Where there is none (nothing
    // has framed the window), nobody would: the window takes the screen's
    // free area itself, then the maximised state.
    if (decorations().isNull() && clientArea().isValid()) setGeometry(clientArea());
    showMaximized();
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

void MainWindow::keepSecondaryWindowsClear(bool movedByUser) {
    secondaryCheckByUserOnly_ = secondaryCheckPending_ ? secondaryCheckByUserOnly_ && movedByUser : movedByUser;
    if (secondaryCheckPending_) return;
    secondaryCheckPending_ = true;
    QTimer::singleShot(0, this, [this] {
        secondaryCheckPending_ = false;
        placeSecondaryWindowsAgain(*this, secondaryCheckByUserOnly_);
    });
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    keepSecondaryWindowsClear(event->spontaneous() && !adjustingSize_ && !leavingMaximised_ && !isMaximized() &&
                              frameGeometry().topLeft() != anchoredFrameOrigin_);
    if (adjustingSize_) return;
    // A window leaving its maximised state passes where the window system
    // restores it before it comes where it was placed: none of that is the
    // user's.
    if (leavingMaximised_) {
        if (frameGeometry().topLeft() == anchoredFrameOrigin_) leavingMaximised_ = false;
        return;
    }
    // The window system has framed the window since it was placed: placed
    // again with the frame's real size, so that all of it is on the screen.
    if (decorations() != anchoredDecorations_ && !isFullScreen() && !isMaximized()) {
        anchorWindow();
        return;
    }
    // windowDidMove: a move the user made (not one of ours, nor the window
    // system's maximising) records the corner.
    if (!event->spontaneous() || isMaximized() || frameGeometry().topLeft() == anchoredFrameOrigin_) return;
    if (const auto record = windowDidMove(*this, true, UserDefaults::standard())) {
        if (std::string(record->key) == "topRightPointP")
            topRightPointP_ = record->distance;
        else
            topRightPointL_ = record->distance;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && event->type() == QEvent::Resize) layoutContent();
    // Menus added to the bar (the shell adds the last ones) widen the window's
    // least size: once the additions are over, the window takes it.
    if (watched == menuWidget() && event->type() == QEvent::ActionAdded && !menusChangePending_) {
        menusChangePending_ = true;
        QTimer::singleShot(0, this, [this] {
            menusChangePending_ = false;
            const int least = content_->minimumWidth();
            keepLeastSizeOnScreen();
            if (content_->minimumWidth() != least) anchorWindow();
        });
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    keepSecondaryWindowsClear(false);
    if (adjustingSize_ || pc_.width() == 0 || isMaximized()) return;
    // The window keeps the image's shape: a size the rule does not allow is
    // replaced by the one it allows, once the resize has settled.
    const QSize allowed = windowWillResize(event->size());
    if (allowed != event->size() && allowed.isValid())
        QTimer::singleShot(0, this, [this, allowed] {
            if (size() == allowed || isMaximized()) return;
            adjustingSize_ = true;
            resize(allowed);
            adjustingSize_ = false;
        });
}

}  // namespace dvk
