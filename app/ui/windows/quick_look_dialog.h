// The preview dialog for files listed in the history (the Quick Look of this
// program): one file at a time, decoded on the dialog's own worker thread;
// Left / Right (or Up / Down) step through the items, Space or Escape close.
//
// The Controller gives it the items (previewItemsForRecords of the selected
// records) when it opens it and again whenever the selection changes.
#pragma once

#include <QDialog>
#include <QImage>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QToolButton;

namespace dvk {

class QuickLookDialog : public QDialog {
    Q_OBJECT
public:
    // Longest side of a decoded image, in pixels.
    static constexpr int kMaxImageSide = 2048;

    explicit QuickLookDialog(QWidget* parent = nullptr);
    ~QuickLookDialog() override;

    // Replaces the items and shows item `current` (clamped); an empty list
    // shows "No file to preview".
    void setItems(std::vector<std::string> items, int current = 0);
    const std::vector<std::string>& items() const { return items_; }
    int currentIndex() const { return current_; }
    void showItem(int index);

    // The image on show (null while it loads or when it cannot be shown),
    // and the line under it.
    const QImage& currentImage() const { return image_; }
    QString statusText() const;

signals:
    // An item finished loading (`ok` false: it cannot be shown).
    void itemLoaded(int index, bool ok);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void requestLoad();
    void loaded(unsigned long long generation, QImage image, QString error);
    void updateView();
    void workerLoop();

    std::vector<std::string> items_;
    int current_ = -1;
    QImage image_;
    QString error_;
    bool loading_ = false;

    QLabel* imageLabel_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QToolButton* previousButton_ = nullptr;
    QToolButton* nextButton_ = nullptr;

    // The worker decodes the latest request only; older ones are dropped.
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool pending_ = false;
    std::string pendingPath_;
    unsigned long long generation_ = 0;  // of the request the view waits for
    std::thread worker_;
};

}  // namespace dvk
