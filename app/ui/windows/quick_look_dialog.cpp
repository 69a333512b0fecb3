#include "app/ui/windows/quick_look_dialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/ui/windows/preview_loader.h"

namespace dvk {

QuickLookDialog::QuickLookDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Preview"));
    setModal(false);
    resize(900, 700);

    imageLabel_ = new QLabel(this);
    imageLabel_->setAlignment(Qt::AlignCenter);
    imageLabel_->setMinimumSize(200, 150);
    imageLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    imageLabel_->setStyleSheet("background-color: #474747; color: #d0d0d0;");

    previousButton_ = new QToolButton(this);
    previousButton_->setArrowType(Qt::LeftArrow);
    previousButton_->setToolTip(tr("Previous file (Left)"));
    nextButton_ = new QToolButton(this);
    nextButton_->setArrowType(Qt::RightArrow);
    nextButton_->setToolTip(tr("Next file (Right)"));
    statusLabel_ = new QLabel(this);
    statusLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    connect(previousButton_, &QToolButton::clicked, this, [this] { showItem(current_ - 1); });
    connect(nextButton_, &QToolButton::clicked, this, [this] { showItem(current_ + 1); });

    auto* bar = new QHBoxLayout;
    bar->addWidget(previousButton_);
    bar->addWidget(nextButton_);
    bar->addWidget(statusLabel_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->addWidget(imageLabel_, 1);
    layout->addLayout(bar);

    worker_ = std::thread([this] { workerLoop(); });
    updateView();
}

QuickLookDialog::~QuickLookDialog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void QuickLookDialog::setItems(std::vector<std::string> items, int current) {
    items_ = std::move(items);
    current_ = -1;
    showItem(items_.empty() ? -1 : std::clamp(current, 0, int(items_.size()) - 1));
}

void QuickLookDialog::showItem(int index) {
    if (items_.empty()) {
        current_ = -1;
        image_ = QImage();
        error_.clear();
        loading_ = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++generation_;
            pending_ = false;
        }
        updateView();
        return;
    }
    if (index < 0 || index >= int(items_.size()) || index == current_) return;
    current_ = index;
    requestLoad();
}

void QuickLookDialog::requestLoad() {
    image_ = QImage();
    error_.clear();
    loading_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++generation_;
        pending_ = true;
        pendingPath_ = items_[std::size_t(current_)];
    }
    wake_.notify_all();
    updateView();
}

void QuickLookDialog::workerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_; });
        if (stop_) return;
        pending_ = false;
        const std::string path = pendingPath_;
        const unsigned long long generation = generation_;
        lock.unlock();
        QString error;
        QImage image = loadPreviewImage(QString::fromStdString(path), kMaxImageSide, &error);
        // Delivered through the event loop; dropped when the dialog is gone.
        QMetaObject::invokeMethod(
            this, [this, generation, image = std::move(image), error] { loaded(generation, image, error); },
            Qt::QueuedConnection);
        lock.lock();
    }
}

void QuickLookDialog::loaded(unsigned long long generation, QImage image, QString error) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (generation != generation_) return;  // a later request is on its way
    }
    loading_ = false;
    image_ = std::move(image);
    error_ = image_.isNull() ? (error.isEmpty() ? tr("This file cannot be shown.") : error) : QString();
    updateView();
    emit itemLoaded(current_, !image_.isNull());
}

QString QuickLookDialog::statusText() const { return statusLabel_->text(); }

void QuickLookDialog::updateView() {
    const bool any = current_ >= 0;
    previousButton_->setEnabled(any && current_ > 0);
    nextButton_->setEnabled(any && current_ + 1 < int(items_.size()));
    if (!any) {
        setWindowTitle(tr("Preview"));
        statusLabel_->clear();
        imageLabel_->setPixmap(QPixmap());
        imageLabel_->setText(tr("No file to preview"));
        return;
    }
    const QString path = QString::fromStdString(items_[std::size_t(current_)]);
    const QString name = path.section('/', -1);
    setWindowTitle(name);
    QString status = tr("%1 of %2: %3").arg(current_ + 1).arg(items_.size()).arg(path);
    if (!image_.isNull()) status += tr(" (%1 x %2)").arg(image_.width()).arg(image_.height());
    statusLabel_->setText(status);
    if (loading_) {
        imageLabel_->setPixmap(QPixmap());
        imageLabel_->setText(tr("Loading %1 ...").arg(name));
    } else if (image_.isNull()) {
        imageLabel_->setPixmap(QPixmap());
        imageLabel_->setText(tr("%1 cannot be shown: %2").arg(name, error_));
    } else {
        const qreal ratio = devicePixelRatioF();
        const QSize room = imageLabel_->size() * ratio;
        QPixmap pixmap = QPixmap::fromImage(image_);
        if (pixmap.width() > room.width() || pixmap.height() > room.height())
            pixmap = pixmap.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(ratio);
        imageLabel_->setText(QString());
        imageLabel_->setPixmap(pixmap);
    }
}

void QuickLookDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            showItem(current_ - 1);
            return;
        case Qt::Key_Right:
        case Qt::Key_Down:
            showItem(current_ + 1);
            return;
        case Qt::Key_Space:
            close();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void QuickLookDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!image_.isNull()) updateView();
}

}  // namespace dvk
