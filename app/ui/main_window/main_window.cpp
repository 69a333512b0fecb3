#include "app/ui/main_window/main_window.h"

#include <QtCore/QThread>
#include <QtGui/QCloseEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QToolButton>

#include "app/common/app_version.h"
#include "app/preview/display_image.h"
#include "app/preview/histogram.h"
#include "app/preview/gamut_diagram.h"
#include "app/ui/controls/cropping_image_view.h"
#include "app/ui/windows/diagram_window.h"
#include "app/ui/controls/display_qimage.h"
#include "app/ui/controls/image_view_no_drag.h"
#include "app/ui/windows/keyboard_helper_window.h"
#include "app/ui/windows/secondary_window.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/main_window/screen_profile.h"
#include "app/ui/main_window/undo_keys.h"
#include "pipeline/processor/raw_processor.h"

namespace dvk {

MainWindow::MainWindow(PreviewController& controller, QWidget* parent) : QMainWindow(parent), pc_(controller) {
    setWindowTitle(QString::fromLatin1(kProgramName));
    setAttribute(Qt::WA_DeleteOnClose, false);
    converter_.setScreenProfile(screenIccProfile());

    content_ = new QWidget(this);
    scrollArea_ = new QScrollArea(content_);
    scrollArea_->setFrameShape(QFrame::NoFrame);
    scrollArea_->setAlignment(Qt::AlignCenter);
    scrollArea_->setBackgroundRole(QPalette::Dark);
    imageView_ = new CroppingImageView;
    scrollArea_->setWidget(imageView_);
    scrollArea_->setWidgetResizable(true);
    scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sidePanel_ = buildSidePanel();
    sidePanel_->setParent(content_);
    // Secondary windows find it by its name and keep clear of it.
    sidePanel_->setObjectName(QStringLiteral("sidePanel"));
    // Around the image (where its shape leaves room) the same neutral grey as
    // behind it.
    backdrop_ = new QWidget(content_);
    QPalette grey = backdrop_->palette();
    grey.setColor(QPalette::Window, CroppingImageView::kBackground);
    backdrop_->setPalette(grey);
    backdrop_->setAutoFillBackground(true);
    backdrop_->lower();
    setCentralWidget(content_);
    content_->installEventFilter(this);
    keepLeastSizeOnScreen();

    diagramWindow_ = new DiagramWindow(pc_, this);
    // A window of its own, not kept in front of this one: turning to the
    // image brings it over the helper.
    keyboardHelper_ = new KeyboardHelperWindow;
    buildMenus();
    menuWidget()->installEventFilter(this);
    bindSettings();
    leaveUndoKeysToTheWindow(*this);

    connect(imageView_, &CroppingImageView::notify, this, &MainWindow::handleImageViewNotification);
    connect(imageView_, &CroppingImageView::selectionUsed, this, [this](bool wb) { pc_.useSelection(wb); });
    pc_.setUi(this);
    resize(static_cast<int>(kSidePanelWidth) + 800, 720);
    layoutContent();
    stateChanged();
}

MainWindow::~MainWindow() {
    delete keyboardHelper_;
    pc_.setUi(nullptr);
    for (KeyValueObservers::Token t : observers_) pc_.rawProcessor().removeObserver(t);
}

void MainWindow::handleImageViewNotification(const QString& name, QPointF localPoint) {
    pc_.handleNotify({name.toStdString(), imageView_->imagePointAt(localPoint)});
}

void MainWindow::setCameraInfo(const std::string& text) {
    cameraInfoView_->setPlainText(QString::fromStdString(text));
}

// --- PreviewUi ---------------------------------------------------------------------

void MainWindow::setImage(const std::shared_ptr<DisplayImage>& image) {
    image_ = image;
    imageView_->setImage(image ? toScreenImage(*image, converter_) : QImage());
}

RectD MainWindow::selectedImageRect() const { return imageView_->selectedImageRect(); }

RectD MainWindow::selectionRect() const { return imageView_->selectionMarker().selectedRect(); }

void MainWindow::setSelectionRect(const RectD& rect) {
    imageView_->selectionMarker().setSelectedRect(rect);
    imageView_->selectionChanged();
}

void MainWindow::setHistogramImage(const std::vector<std::uint8_t>& rgb) {
    histogramView_->setImage(imageFromRgbBytes(rgb, kHistogramWidth, kHistogramHeight));
}

void MainWindow::setDiagramImage(const std::vector<std::uint8_t>& rgb, const std::vector<std::uint8_t>& profile) {
    if (rgb.empty()) {
        diagramWindow_->diagramView()->setImage(QImage());
        return;
    }
    // The diagram's colours are those of the output profile.
    DisplayImage img;
    img.width = img.height = kDiagramSize;
    img.pixels = allocate_aligned<std::uint16_t>(rgb.size());
    if (!img.pixels) return;
    for (std::size_t i = 0; i < rgb.size(); ++i) img.pixels.get()[i] = static_cast<std::uint16_t>(rgb[i] * 257);
    img.profile = profile;
    diagramWindow_->diagramView()->setImage(toScreenImage(img, converter_));
}

bool MainWindow::diagramWindowVisible() const { return diagramWindow_->isVisible(); }

void MainWindow::showDiagramWindow() {
    diagramWindow_->showState();
    openSecondaryWindow(*diagramWindow_, this);
}

void MainWindow::closeDiagramWindow() { diagramWindow_->close(); }

void MainWindow::stateChanged() {
    const WindowControls& c = pc_.controls();
    const auto setChecked = [](QCheckBox* box, bool on) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    };
    setChecked(zoomToFit_, c.zoomToFit);
    setChecked(showClipping_, c.showClipping);
    setChecked(showPrevious_, c.showPrevious);
    showPrevious_->setEnabled(c.showPreviousEnabled);
    setChecked(histR_, c.histR);
    setChecked(histG_, c.histG);
    setChecked(histB_, c.histB);
    setChecked(histL_, c.histL);
    zBox_->setVisible(c.zBoxVisible);
    applyButton_->setEnabled(pc_.fileLoaded());
    saveButton_->setEnabled(pc_.fileLoaded());
    refreshPendingSettings();
    showReadouts();
    if (diagramWindow_->isVisible()) diagramWindow_->showState();
    emit stateShown();
}

void MainWindow::applyWillStart() { rememberedFocus_ = QApplication::focusWidget(); }

void MainWindow::applyDidEnd() {
    refreshPendingSettings();
    if (!isVisible()) return;
    raise();
    activateWindow();
    if (auto* field = qobject_cast<QLineEdit*>(rememberedFocus_.data())) {
        field->setFocus();
        field->selectAll();
    } else if (rememberedFocus_) {
        rememberedFocus_->setFocus();
    }
}

void MainWindow::scrollImageTo(PointD imagePoint) {
    scrollArea_->ensureVisible(static_cast<int>(imagePoint.x), static_cast<int>(imagePoint.y),
                               scrollArea_->viewport()->width() / 2, scrollArea_->viewport()->height() / 2);
}

void MainWindow::setImageSize(unsigned width, unsigned height) {
    imageView_->setWidthAndHeight(width, height);
    layoutContent();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Turned to (a click, the window manager): on top of the program's other
    // windows, and the windows that stay in front of it come along.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        raise();
        raiseWindowsInFrontOf(*this);
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    openPendingKeyboardHelper();
}

void MainWindow::holdKeyboardHelper(bool held) {
    keyboardHelperHeld_ = held;
    if (!held && isVisible()) openPendingKeyboardHelper();
}

void MainWindow::openPendingKeyboardHelper() {
    if (!keyboardHelperPending_ || keyboardHelperHeld_) return;
    keyboardHelperPending_ = false;
    openSecondaryWindow(*keyboardHelper_, this);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    diagramWindow_->close();
    QMainWindow::closeEvent(event);
}

// --- grabbing ------------------------------------------------------------------------

double MainWindow::grabScale() const { return devicePixelRatioF(); }

QImage MainWindow::grabWindow() { return grab().toImage(); }

QRect MainWindow::visibleImageRect() const {
    // The drawn image within the scroll area's viewport, in window pixels.
    const RectD d = imageView_->drawnRect();
    QRect drawn(
        QPoint(static_cast<int>(std::ceil(d.x)), static_cast<int>(std::ceil(d.y))),
        QPoint(static_cast<int>(std::floor(d.x + d.width)) - 1, static_cast<int>(std::floor(d.y + d.height)) - 1));
    const QWidget* viewport = scrollArea_->viewport();
    QRect visible(imageView_->mapFrom(viewport, QPoint(0, 0)), viewport->size());
    drawn = drawn.intersected(visible);
    const QPoint topLeft = imageView_->mapTo(this, drawn.topLeft());
    const double s = grabScale();
    return QRect(QPoint(static_cast<int>(topLeft.x() * s), static_cast<int>(topLeft.y() * s)),
                 QSize(static_cast<int>(drawn.width() * s), static_cast<int>(drawn.height() * s)));
}

QRect MainWindow::histogramRect() const {
    const QPoint topLeft = histogramView_->mapTo(this, QPoint(0, 0));
    const double s = grabScale();
    return QRect(QPoint(static_cast<int>(topLeft.x() * s), static_cast<int>(topLeft.y() * s)),
                 QSize(static_cast<int>(histogramView_->width() * s), static_cast<int>(histogramView_->height() * s)));
}

}  // namespace dvk
