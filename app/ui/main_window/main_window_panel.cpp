// MainWindow: the side panel, the zone box and the readouts.
#include <QtGui/QFontMetrics>
#include <QtGui/QGuiApplication>
#include <QtGui/QTextOption>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollArea>
#include <QtWidgets/QVBoxLayout>

#include "app/window/info_readout.h"
#include "app/ui/controls/compact_rows.h"
#include "app/ui/controls/context_actions.h"
#include "app/ui/controls/cropping_image_view.h"
#include "app/ui/controls/image_view_no_drag.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/controls/no_click_through.h"
#include "app/window/view_coordinates.h"
#include "app/window/window_geometry.h"
#include "pipeline/processor/raw_processor.h"
#include "platform/user_defaults.h"

namespace dvk {

namespace {

constexpr int kZoneLabelBoxHeight = 34;
// The info view's least height: a few lines of text.
constexpr int kInfoViewLeastHeight = 86;

// Zone names are a quiet grey on either appearance.
QColor zoneNameColour(Appearance a) {
    return a == Appearance::Dark ? QColor(0x9a, 0x9a, 0x9a) : QColor(0x55, 0x55, 0x55);
}

// A scroll area as tall as everything in it: the panel asks for room to
// show every row, and scrolls only when the window cannot give it.
class PanelScrollArea : public QScrollArea {
public:
    explicit PanelScrollArea(int width) : width_(width) { setFixedWidth(width); }
    QSize sizeHint() const override {
        const QWidget* w = widget();
        if (!w) return QScrollArea::sizeHint();
        return QSize(width_, w->sizeHint().height() + 2 * frameWidth());
    }

private:
    int width_;
};

}  // namespace

void fitButtonToTitle(QPushButton* button) {
    button->setMaximumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 16);
}

QWidget* MainWindow::buildSidePanel() {
    auto* panel = new QWidget;
    panel->setFixedWidth(static_cast<int>(kSidePanelWidth));
    // Every row of the panel in the font and height of a small control.
    panel->setFont(smallControlFont(font()));
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 4);
    v->setSpacing(2);

    histogramView_ = new ImageViewNoDrag(panel);
    histogramView_->setFixedSize(256, 128);
    v->addWidget(histogramView_);
    zBox_ = buildZoneBox(panel->font());
    v->addWidget(zBox_);
    v->addWidget(buildReadouts());
    QWidget* toggles = buildToggles();
    v->addWidget(toggles);
    // As tall as its rows allow; the info view below takes what is left.
    auto* settings = settingsArea_ = new PanelScrollArea(static_cast<int>(kSidePanelWidth));
    settings->setObjectName(QStringLiteral("settingsScrollArea"));
    settings->setFrameShape(QFrame::NoFrame);
    settings->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    settings->setWidgetResizable(true);
    QWidget* controls = buildSettingControls();
    settings->setWidget(controls);
    v->addWidget(settings);
    makeRowsCompact(toggles);
    makeRowsCompact(controls);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 0, 4, 0);
    buttons->setSpacing(4);
    applyButton_ = new NoClickThroughButton(tr("Apply"), panel);
    applyButton_->setToolTip(tr("Apply the settings (Alt-click or right-click: reset to defaults)"));
    connect(applyButton_, &QPushButton::clicked, this, [this] { pc_.apply(ApplySender::control("Apply")); });
    // Alt-click is the window manager's on many desktops: the same from the button's menu.
    addContextAction(applyButton_, tr("Reset to Defaults"),
                     [this] { pc_.apply(ApplySender::optionClick("Apply")); });
    saveButton_ = new NoClickThroughButton(tr("Save"), panel);
    saveButton_->setEnabled(false);
    // Where a saved file opens next ("Don't open", an editor, "New...", "Delete");
    // the controller fills it and handles its choices.
    extEditorsButton_ = new PopUpButtonScroller(panel);
    extEditorsButton_->setObjectName(QStringLiteral("extEditorsButton"));
    extEditorsButton_->setTag(1);
    extEditorsButton_->setToolTip(tr("Open saved files in"));
    // Apply and Save as wide as their titles: the pop-up of editors takes the
    // rest, room for "Don't open" and an editor's name.
    fitButtonToTitle(applyButton_);
    fitButtonToTitle(saveButton_);
    buttons->addWidget(applyButton_);
    buttons->addWidget(saveButton_);
    buttons->addWidget(extEditorsButton_, 1);
    for (QWidget* w : {static_cast<QWidget*>(applyButton_), static_cast<QWidget*>(saveButton_),
                       static_cast<QWidget*>(extEditorsButton_)})
        w->setFixedHeight(compactRowHeight(panel->font()));
    v->addLayout(buttons);

    progress_ = new QProgressBar(panel);
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->setFixedHeight(6);
    v->addWidget(progress_);
    auto* batch = new QHBoxLayout;
    batch->setContentsMargins(4, 0, 4, 0);
    batch->setSpacing(4);
    cancelButton_ = new QPushButton(tr("Cancel"), panel);
    cancelButton_->setToolTip(tr("End the batch after the file being converted"));
    postponeButton_ = new QPushButton(tr("Postpone"), panel);
    postponeButton_->setToolTip(tr("Stop the batch after the file being converted and continue it later"));
    for (QPushButton* b : {cancelButton_, postponeButton_}) {
        b->setFixedHeight(compactRowHeight(panel->font()));
        b->hide();
        batch->addWidget(b);
    }
    v->addLayout(batch);
    statusLine_ = new QLabel(panel);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setContentsMargins(4, 0, 4, 0);
    statusLine_->setFixedHeight(statusLine_->fontMetrics().height() + 2);
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->hide();
    v->addWidget(statusLine_);
    cameraInfoView_ = new QPlainTextEdit(panel);
    cameraInfoView_->setReadOnly(true);
    // exiftool's text runs to a few hundred lines: the view takes every
    // pixel the rows above leave (a few lines at least). As the one
    // stretching row it is also the first to give up height. Long lines
    // (the batch's word on quitting, a long path) wrap at its width.
    QSizePolicy infoPolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    infoPolicy.setVerticalStretch(1);
    cameraInfoView_->setSizePolicy(infoPolicy);
    cameraInfoView_->setMinimumHeight(kInfoViewLeastHeight);
    cameraInfoView_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    cameraInfoView_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    v->addWidget(cameraInfoView_);
    return panel;
}

void MainWindow::showBatchButtons(bool shown) {
    cancelButton_->setVisible(shown);
    postponeButton_->setVisible(shown);
    fitInfoViewLeastHeight();
}

void MainWindow::setStatusLine(const QString& text, const QString& details) {
    // One line: what does not fit is in the tool tip (and the info view).
    const int width = std::max(cameraInfoView_->width(), 120) - 8;
    statusLine_->setText(statusLine_->fontMetrics().elidedText(text, Qt::ElideRight, width));
    statusLine_->setToolTip(details.isEmpty() ? text : text + QStringLiteral("\n\n") + details);
    statusLine_->setVisible(!text.isEmpty());
    fitInfoViewLeastHeight();
}

void MainWindow::fitInfoViewLeastHeight() {
    // The rows' heights come out of the info view's least, so that the
    // rows above keep theirs: a window of the least height still shows
    // every row of the panel during a batch or with a status line.
    const int spacing = sidePanel_->layout()->spacing();
    int rows = 0;
    if (cancelButton_->isVisibleTo(sidePanel_)) rows += cancelButton_->maximumHeight() + spacing;
    if (statusLine_->isVisibleTo(sidePanel_)) rows += statusLine_->maximumHeight() + spacing;
    cameraInfoView_->setMinimumHeight(kInfoViewLeastHeight - rows);
    // The panel's rows laid out now, not at the next layout pass: a row's
    // own layout would still count hidden widgets' height, and the window's
    // least size (the empty frame after a batch) read it.
    sidePanel_->layout()->activate();
}

int MainWindow::panelHeightWanted() const {
    // The panel's rows all shown: the scroll area as tall as its contents
    // (asked anew: a change of style or font changes the rows), the info
    // view at its least, as it takes what the rows leave.
    settingsArea_->updateGeometry();
    QLayout* layout = sidePanel_->layout();
    const QLayoutItem* info = layout->itemAt(layout->indexOf(cameraInfoView_));
    return layout->sizeHint().height() - info->sizeHint().height() + cameraInfoView_->minimumHeight();
}

QWidget* MainWindow::buildZoneBox(const QFont& small) {
    const int row = QFontMetrics(small).height();
    auto* box = new QWidget;
    box->setFixedSize(256, kZoneLabelBoxHeight + 2 * row);
    auto* names = new QWidget(box);  // zBoxView
    names->setGeometry(0, 0, 256, kZoneLabelBoxHeight);
    auto* distances = new QWidget(box);  // zInfoBoxView
    distances->setGeometry(0, kZoneLabelBoxHeight, 256, 2 * row);
    for (int i = 0; i < kZoneCount; ++i) {
        const int x = zoneBoxX(i);
        auto* b = new QPushButton(distances);
        const ZoneButtonRect r = zoneButtonRect(i, row);
        b->setGeometry(r.x, r.y, r.width, r.height);
        b->setFont(small);
        b->setFocusPolicy(Qt::TabFocus);
        // Left-aligned in the zone, a border only under the mouse.
        b->setStyleSheet(QStringLiteral("QPushButton { color: #ff9500; border: 1px solid transparent; padding: 0px; "
                                        "text-align: left; }"
                                        "QPushButton:hover { border-color: palette(mid); border-radius: 2px; }"));
        b->setToolTip(tr("Distance in EV between current picker L*\nvalue and Zone %1").arg(kZoneNames[i]));
        connect(b, &QPushButton::clicked, this, [this, i] { pc_.clickZoneInfo(i); });
        zoneButtons_.push_back(b);

        auto* label = new QLabel(QString::fromLatin1(kZoneNames[i]), names);
        label->setGeometry(x, zoneLabelTop(i, kZoneLabelBoxHeight), zoneBoxX(i + 1) - x, kZoneLabelHeight);
        QFont bold = font();
        bold.setBold(true);
        bold.setPixelSize(i == 5 ? 24 : 16);
        label->setFont(bold);
        label->setAlignment(Qt::AlignCenter);
        zoneLabels_.push_back(label);
    }
    showZoneNameColours();
    // Hidden until the first histogram, its room kept: the panel keeps its height.
    QSizePolicy policy = box->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    box->setSizePolicy(policy);
    box->setVisible(false);
    return box;
}

void MainWindow::showZoneNameColours() {
    // (Called again when the appearance changes.)
    const QColor c = zoneNameColour(appearance_);
    for (QLabel* label : zoneLabels_) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, c);
        label->setPalette(p);
    }
}

QWidget* MainWindow::buildReadouts() {
    auto* w = new QWidget;
    auto* grid = new QGridLayout(w);
    grid->setContentsMargins(4, 0, 4, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(0);
    const char* const rows[4][3] = {{"infoR", "infoG", "infoB"},
                                    {"infoL", "infoa", "infob"},
                                    {"infoDR", "infoDG", "infoDB"},
                                    {"infoX", "infoY", "infoDL"}};
    const char* const captions[4][3] = {{"R", "G", "B"}, {"L", "a", "b"}, {"EV R", "EV G", "EV B"}, {"X", "Y", "D"}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) {
            auto* caption = new QLabel(QString::fromLatin1(captions[r][c]), w);
            caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            auto* value = new QLabel(QStringLiteral("0"), w);
            value->setObjectName(QString::fromLatin1(rows[r][c]));
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            value->setMinimumWidth(40);
            grid->addWidget(caption, r, 2 * c);
            grid->addWidget(value, r, 2 * c + 1);
            readouts_[rows[r][c]] = value;
        }
    return w;
}

QWidget* MainWindow::buildToggles() {
    auto* w = new QWidget;
    w->setFont(smallControlFont(font()));  // the panel's, from the start
    auto* grid = new QGridLayout(w);
    grid->setContentsMargins(4, 0, 4, 0);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(1);
    const auto channel = [&](const char* title, bool WindowControls::*field, const char* key, int column) {
        auto* box = new QCheckBox(QString::fromLatin1(title), w);
        connect(box, &QCheckBox::toggled, this, [this, field, key](bool on) {
            pc_.controls().*field = on;
            UserDefaults::standard().setInteger(key, on ? 1 : 0);
            UserDefaults::standard().synchronize();
            pc_.drawHistogram();
        });
        grid->addWidget(box, 0, column);
        return box;
    };
    histR_ = channel("R", &WindowControls::histR, "HistogramR", 0);
    histG_ = channel("G", &WindowControls::histG, "HistogramG", 1);
    histB_ = channel("B", &WindowControls::histB, "HistogramB", 2);
    histL_ = channel("L", &WindowControls::histL, "HistogramL", 3);

    zoomToFit_ = new QCheckBox(tr("Fit"), w);
    zoomToFit_->setToolTip(tr("Zoom to fit (double-click the image)"));
    connect(zoomToFit_, &QCheckBox::toggled, this, [this](bool on) {
        pc_.controls().zoomToFit = on;
        pc_.zoomToFitChanged();
    });
    showClipping_ = new QCheckBox(tr("Clip"), w);
    showClipping_->setToolTip(tr("Show clipped samples"));
    connect(showClipping_, &QCheckBox::toggled, this, [this](bool on) {
        pc_.controls().showClipping = on;
        pc_.showClippingChanged();
    });
    showPrevious_ = new QCheckBox(tr("Prev"), w);
    showPrevious_->setToolTip(tr("Show the previous rendering"));
    connect(showPrevious_, &QCheckBox::toggled, this, [this](bool on) { pc_.showPrevImage(on); });
    copyTags_ = new QCheckBox(tr("Tags"), w);
    copyTags_->setToolTip(tr("Copy the metadata into saved files"));
    connect(copyTags_, &QCheckBox::toggled, this, [](bool on) {
        UserDefaults::standard().setInteger("CopyTags", on ? 1 : 0);
        UserDefaults::standard().synchronize();
    });
    darkMode_ = new QCheckBox(tr("Dark"), w);
    connect(darkMode_, &QCheckBox::toggled, this, [this](bool on) { switchDarkLightMode(on); });
    grid->addWidget(zoomToFit_, 1, 0);
    grid->addWidget(showClipping_, 1, 1);
    grid->addWidget(showPrevious_, 1, 2);
    grid->addWidget(copyTags_, 1, 3);
    grid->addWidget(darkMode_, 1, 4);

    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    const auto button = [&](const QString& title, const QString& tip) {
        auto* b = new NoClickThroughButton(title, w);
        b->setToolTip(tip);
        // As wide as its title: the reset's title takes the rest.
        fitButtonToTitle(b);
        row->addWidget(b);
        return b;
    };
    connect(button(QStringLiteral("\u21b6"), tr("Rotate left")), &QPushButton::clicked, this,
            [this] { pc_.rotateImageLeft(); });
    connect(button(QStringLiteral("\u21b7"), tr("Rotate right")), &QPushButton::clicked, this,
            [this] { pc_.rotateImageRight(); });
    QPushButton* ae = button(tr("AE"), tr("Automatic exposure (Alt-click or right-click: from red and green)"));
    connect(ae, &QPushButton::clicked, this,
            [this] { pc_.setAutoExposure(QGuiApplication::keyboardModifiers() & Qt::AltModifier); });
    // Alt-click is the window manager's on many desktops: the same from the button's menu.
    addContextAction(ae, tr("Automatic Exposure from Red and Green"), [this] { pc_.setAutoExposure(true); });
    connect(button(tr("ChD"), tr("Gamut diagram")), &QPushButton::clicked, this, [this] { pc_.drawDiagram("ChD"); });
    auto* reset = button(tr("Reset to Defaults"), QString());
    reset->setMaximumWidth(QWIDGETSIZE_MAX);
    connect(reset, &QPushButton::clicked, this, [this] { pc_.apply(ApplySender::control("Reset to Defaults")); });
    row->setStretchFactor(reset, 1);
    grid->addLayout(row, 2, 0, 1, 5);
    return w;
}

void MainWindow::showReadouts() {
    const WindowControls& c = pc_.controls();
    for (auto& [name, label] : readouts_) {
        const auto it = c.infos.find(name);
        label->setText(it == c.infos.end() ? QString() : QString::fromStdString(it->second));
    }
    for (int i = 0; i < kZoneCount; ++i) zoneButtons_[static_cast<std::size_t>(i)]->setText(
        QString::fromStdString(c.zoneTitles[static_cast<std::size_t>(i)]));
}

void MainWindow::layoutContent() {
    const QSize size = content_->size();
    const int panel = static_cast<int>(kSidePanelWidth);
    sidePanel_->setGeometry(size.width() - panel, 0, panel, size.height());
    backdrop_->setGeometry(0, 0, size.width() - panel, size.height());
    const unsigned w = imageView_->imageWidth(), h = imageView_->imageHeight();
    RectD r{0, 0, static_cast<double>(size.width() - panel), static_cast<double>(size.height())};
    if (w && h) r = scrollViewPlacement({static_cast<double>(size.width()), static_cast<double>(size.height())}, w, h);
    scrollArea_->setGeometry(static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.width),
                             static_cast<int>(r.height));
}

}  // namespace dvk
