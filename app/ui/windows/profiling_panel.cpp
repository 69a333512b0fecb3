#include "app/ui/windows/profiling_panel.h"

#include <QtCore/QPointer>
#include <QtCore/QSignalBlocker>
#include <QtGui/QColorSpace>
#include <QtGui/QFontDatabase>
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QVBoxLayout>

#include "app/controller/controller.h"
#include "app/preview/preview_controller.h"
#include "app/ui/windows/secondary_window.h"
#include "platform/url_opener.h"

namespace dvk {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

void setTextKeepingEdits(QLineEdit* field, const std::string& text) {
    const QString t = qs(text);
    if (field->text() != t) field->setText(t);
}

}  // namespace

ProfilingPanel::ProfilingPanel(Controller& controller, QWidget* parent)
    : QWidget(parent, Qt::Tool), controller_(controller), workflow_(controller.profiling()) {
    setWindowTitle(tr("Camera Profiling"));
    setObjectName(QStringLiteral("profPanel"));
    auto* layout = new QVBoxLayout(this);

    credits_ = new QLabel(this);
    credits_->setObjectName(QStringLiteral("argyllText"));
    credits_->setTextFormat(Qt::RichText);
    credits_->setWordWrap(true);
    credits_->setText(QString::fromUtf8(ProfilingWorkflow::creditsHtml()));
    connect(credits_, &QLabel::linkActivated, this,
            [](const QString& link) { url_opener()->openUrl(link.toStdString()); });
    layout->addWidget(credits_);

    auto* form = new QFormLayout;
    reference_ = new QComboBox(this);
    reference_->setObjectName(QStringLiteral("cieFileNameButton"));
    form->addRow(tr("Reference:"), reference_);
    description_ = new QLineEdit(this);
    description_->setObjectName(QStringLiteral("descr"));
    form->addRow(tr("Description:"), description_);
    originator_ = new QLineEdit(this);
    originator_->setObjectName(QStringLiteral("origin"));
    form->addRow(tr("Originator:"), originator_);
    ti3_ = new QLineEdit(this);
    ti3_->setObjectName(QStringLiteral("ti3FileName"));
    form->addRow(tr("TI3 file:"), ti3_);
    layout->addLayout(form);

    auto* boxes = new QHBoxLayout;
    enforceWhite_ = new QCheckBox(tr("Add white patch"), this);
    enforceWhite_->setObjectName(QStringLiteral("enforceWhite"));
    enforceBlack_ = new QCheckBox(tr("Add black patch"), this);
    enforceBlack_->setObjectName(QStringLiteral("enforceBlack"));
    boxes->addWidget(enforceWhite_);
    boxes->addWidget(enforceBlack_);
    boxes->addStretch();
    layout->addLayout(boxes);

    auto* next = new QHBoxLayout;
    next->addWidget(new QLabel(tr("Next patch:"), this));
    patchToSelect_ = new QLabel(this);
    patchToSelect_->setObjectName(QStringLiteral("patchToSelect"));
    patchToSelect_->setMinimumWidth(60);
    next->addWidget(patchToSelect_);
    swatch_ = new QLabel(this);
    swatch_->setObjectName(QStringLiteral("patchImage"));
    swatch_->setFixedSize(PatchSwatch::kSize, PatchSwatch::kSize);
    next->addWidget(swatch_);
    next->addStretch();
    layout->addLayout(next);

    auto* buttons = new QGridLayout;
    const auto addButton = [&](const QString& name, const QString& title, int row, int column,
                               std::function<void(ProfilingWorkflow&)> action) {
        auto* b = new QPushButton(title, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, action = std::move(action)] { act(action); });
        buttons->addWidget(b, row, column);
        return b;
    };
    addButton(QStringLiteral("resetSampler"), tr("Restart"), 0, 0, [](ProfilingWorkflow& w) { w.resetSampler(); });
    addButton(QStringLiteral("stepPatchBack"), tr("Step Back"), 0, 1, [](ProfilingWorkflow& w) { w.stepPatchBack(); });
    addButton(QStringLiteral("loadTI3File"), tr("Import TI3\u2026"), 0, 2,
              [](ProfilingWorkflow& w) { w.loadTI3File(); });
    addButton(QStringLiteral("saveTI3Button"), tr("Save TI3\u2026"), 1, 0,
              [](ProfilingWorkflow& w) { w.saveTI3Button(); });
    makeProfile_ = addButton(QStringLiteral("saveProfile"), tr("Make Profile\u2026"), 1, 1,
                             [](ProfilingWorkflow& w) { w.saveProfile(); });
    addButton(QStringLiteral("openCurrentProfile"), tr("Open Profile"), 1, 2,
              [](ProfilingWorkflow& w) { w.openCurrentProfile(); });
    layout->addLayout(buttons);

    log_ = new QPlainTextEdit(this);
    log_->setObjectName(QStringLiteral("profTextView"));
    log_->setReadOnly(true);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(11);
    log_->setFont(mono);
    log_->setMinimumSize(520, 240);
    layout->addWidget(log_, 1);

    connect(reference_, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { act([index](ProfilingWorkflow& w) { w.selectReferenceItem(index); }); });
    connect(description_, &QLineEdit::textEdited, this,
            [this](const QString& t) { workflow_.setDescription(t.toStdString()); });
    connect(originator_, &QLineEdit::textEdited, this,
            [this](const QString& t) { workflow_.setOriginator(t.toStdString()); });
    connect(ti3_, &QLineEdit::textEdited, this,
            [this](const QString& t) { workflow_.setTi3FileNameText(t.toStdString()); });
    connect(enforceWhite_, &QCheckBox::toggled, this, [this](bool on) { workflow_.setEnforceWhite(on); });
    connect(enforceBlack_, &QCheckBox::toggled, this, [this](bool on) { workflow_.setEnforceBlack(on); });

    workflow_.setChangeListener([this](ProfilingChange change) { refresh(change); });
    for (ProfilingChange c : {ProfilingChange::Fields, ProfilingChange::ReferenceMenu, ProfilingChange::Log,
                              ProfilingChange::PatchToSelect, ProfilingChange::Swatch, ProfilingChange::Running})
        refresh(c);
}

ProfilingPanel::~ProfilingPanel() { workflow_.setChangeListener({}); }

QPushButton* ProfilingPanel::button(const QString& objectName) const { return findChild<QPushButton*>(objectName); }

void ProfilingPanel::act(std::function<void(ProfilingWorkflow&)> action) {
    QPointer<ProfilingPanel> self(this);
    controller_.preview().whenIdle([self, action = std::move(action)] {
        if (self) action(self->workflow_);
    });
}

void ProfilingPanel::refresh(ProfilingChange change) {
    switch (change) {
        case ProfilingChange::Visibility:
            if (workflow_.isVisible()) {
                openSecondaryWindow(*this, parentWidget());
            } else {
                hide();
            }
            break;
        case ProfilingChange::Log:
            refreshLog();
            break;
        case ProfilingChange::Fields:
            refreshFields();
            break;
        case ProfilingChange::ReferenceMenu:
            refreshReferenceMenu();
            break;
        case ProfilingChange::PatchToSelect:
            patchToSelect_->setText(qs(workflow_.patchToSelect()));
            break;
        case ProfilingChange::Swatch:
            refreshSwatch();
            break;
        case ProfilingChange::Running:
            makeProfile_->setEnabled(!workflow_.isProfileRunning());
            break;
    }
}

void ProfilingPanel::refreshFields() {
    setTextKeepingEdits(description_, workflow_.description());
    setTextKeepingEdits(originator_, workflow_.originator());
    setTextKeepingEdits(ti3_, workflow_.ti3FileName());
    const QSignalBlocker white(enforceWhite_), black(enforceBlack_);
    enforceWhite_->setChecked(workflow_.enforceWhite());
    enforceBlack_->setChecked(workflow_.enforceBlack());
}

void ProfilingPanel::refreshReferenceMenu() {
    const QSignalBlocker block(reference_);
    reference_->clear();
    for (const ReferenceItem& item : workflow_.referenceItems()) reference_->addItem(qs(item.title), item.tag);
    reference_->setCurrentIndex(workflow_.selectedReferenceItem());
}

void ProfilingPanel::refreshLog() {
    const QString text = qs(workflow_.log());
    if (text.startsWith(log_->toPlainText()) && !log_->toPlainText().isEmpty()) {
        // Appended: only the new part goes in.
        QTextCursor end = log_->textCursor();
        end.movePosition(QTextCursor::End);
        end.insertText(text.mid(log_->toPlainText().size()));
    } else {
        log_->setPlainText(text);
    }
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void ProfilingPanel::refreshSwatch() {
    const PatchSwatch& s = workflow_.swatch();
    if (!s.shown) {
        swatch_->clear();
        return;
    }
    QImage image(PatchSwatch::kSize, PatchSwatch::kSize, QImage::Format_RGBX64);
    image.fill(QColor::fromRgba64(s.rgb[0], s.rgb[1], s.rgb[2]));
    const std::vector<std::uint8_t>& icc = ProfilingWorkflow::swatchProfile();
    const QColorSpace space = QColorSpace::fromIccProfile(
        QByteArray(reinterpret_cast<const char*>(icc.data()), static_cast<qsizetype>(icc.size())));
    if (space.isValid()) {
        image.setColorSpace(space);
        image.convertToColorSpace(QColorSpace::SRgb);
    }
    swatch_->setPixmap(QPixmap::fromImage(image));
}

}  // namespace dvk
