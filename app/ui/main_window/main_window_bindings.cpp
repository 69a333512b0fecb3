// MainWindow: one control for each development setting, bound both ways: the
// control's changes go to the controller (changeSetting: the setting, then
// its action), and every change of the setting in the model shows in the
// control.
#include <QtCore/QThread>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QProgressBar>

#include "app/ui/controls/compact_rows.h"
#include "app/ui/controls/k_slider.h"
#include "app/ui/main_window/main_window.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/controls/text_field_scroller.h"
#include "app/window/value_transformers.h"
#include "pipeline/processor/raw_processor.h"
#include "pipeline/settings/setting_ranges.h"
#include "pipeline/stages/filters.h"
#include "pipeline/writers/save_formats.h"

namespace dvk {

namespace {

// A slider's range is its setting's (setting_ranges.h).
struct SliderSetting {
    const char* key;
    const char* title;
    int tag;       // step x 100
    int decimals;
};

const SliderSetting kSliders[] = {
    {"exposure", "Exposure", 5, 2},
    {"hlCompression", "Compression", 5, 2},
    {"hlRange", "Compression Range", 5, 2},
    {"evWarmCold", "Cold - Warm", 1, 2},
    {"highRecoveryEV", "Highlights Recovery Adj.", 5, 2},
    {"blackShift", "Black Point", 1, 2},
    {"brightness", "Brightness", 100, 1},
    {"contrast", "Contrast", 100, 1},
    {"saturation", "Saturation", 100, 1},
    {"localContrast", "Local Contrast", 100, 1},
    {"sharpness", "Sharpness", 100, 1},
    {"noise", "Noise", 100, 1},
    {"gamma", "Gamma", 1, 2},
};

struct FieldSetting {
    const char* key;
    const char* title;
};
const FieldSetting kWhiteBalanceFields[] = {
    {"evRed", "Red EV"}, {"evGreen", "Green EV"}, {"evBlue", "Blue EV"}, {"evGreen2", "Green2 EV"}};

struct SwitchSetting {
    const char* key;
    const char* title;
};
const SwitchSetting kSwitches[] = {
    {"manualGreen2", "Manual G2"},
    {"uplab", "UPLab"},
    {"blurAB", "Blur a/b"},
    {"cleanDotNoise", "Remove dot-noise"},
    {"localContrastEnabled", "Local contrast on"},
    {"sharpnessEnabled", "Sharpness on"},
    {"noiseEnabled", "Noise on"},
    {"highRecoveryGuessTone", "Guess Tone"},
};

const char* const kCurveTypes[] = {"Gamma", "Logarithmic", "Lightness", "Gamma, RGB uncompressed"};
const char* const kInterpolations[] = {"AHD", "VNG", "Half size", "VCD", "LMMSE", "Two-thirds"};

QString saveFormatTitle(int code) {
    const SaveFormat* f = save_format(code);
    if (!f) return QString::number(code);
    QString kind;
    if (is_jpeg_writer(f->writer))
        kind = QStringLiteral("JPEG %1").arg(f->jpeg_quality);
    else if (is_cielab_writer(f->writer))
        kind = QStringLiteral("TIFF CIELab 16-bit");
    else if (f->variant == 0)
        kind = QStringLiteral("TIFF float");
    else
        kind = QStringLiteral("TIFF RGB %1-bit%2")
                   .arg(f->variant == 'N' || f->variant == 'S' ? 16 : 8)
                   .arg(f->variant == 'S' || f->variant == 's' ? QStringLiteral(" studio") : QString());
    // The profile the file is written in: none for raw output and CIELab,
    // the linear profile for floats, else the format's output profile.
    if (f->raw) return QStringLiteral("%1: %2, raw").arg(code).arg(kind);
    if (is_cielab_writer(f->writer)) return QStringLiteral("%1: %2").arg(code).arg(kind);
    const char* profile = f->variant == 0 && !is_jpeg_writer(f->writer) ? kLinearProfileName
                                                                         : output_profile_name_for_code(f->output_profile);
    return QStringLiteral("%1: %2 (%3)").arg(code).arg(kind).arg(QString::fromLatin1(profile));
}

}  // namespace

QWidget* MainWindow::buildSettingControls() {
    // The rows in the panel's small font from the start (they scroll in the
    // panel when the screen is too low for them).
    auto* w = new QWidget;
    w->setFont(smallControlFont(font()));
    auto* grid = new QGridLayout(w);
    grid->setColumnStretch(1, 1);
    const auto caption = [w](const char* title) {
        auto* l = new QLabel(QObject::tr(title), w);
        l->setWordWrap(true);
        l->setFixedWidth(76);
        return l;
    };
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(1);
    int row = 0;

    presetsPopUp_ = new PopUpButtonScroller(w);
    presetsPopUp_->setObjectName(QStringLiteral("presets"));
    grid->addWidget(caption("Preset"), row, 0);
    grid->addWidget(presetsPopUp_, row++, 1, 1, 2);

    // A pop-up whose items' tags are its setting's values (the white-balance
    // and filter pop-ups get theirs from the open file). One whose titles need
    // the panel's width takes the whole row, its caption as its tool tip.
    const auto popUp = [&](const char* key, const char* title, auto titles, int count, bool wholeRow = false) {
        auto* p = new PopUpButtonScroller(w);
        p->setObjectName(QString::fromLatin1(key));
        p->setTag(1);
        for (int i = 0; i < count; ++i) p->addTaggedItem(titles(i), i);
        if (wholeRow) {
            p->setToolTip(tr(title));
            grid->addWidget(p, row++, 0, 1, 3);
        } else {
            grid->addWidget(caption(title), row, 0);
            grid->addWidget(p, row++, 1, 1, 2);
        }
        const std::string k = key, t = title;
        connect(p, &PopUpButtonScroller::tagChosen, this,
                [this, k, t](long tag) { pc_.changeSetting(k, SettingsValue(tag), t); });
        settingViews_[k] = [p](const SettingsValue& v) { p->selectTag(v.int_value()); };
        return p;
    };
    const auto noItems = [](int) { return QString(); };
    wbPopUp_ = popUp("useCameraWB", "White balance", noItems, 0);

    // Two white-balance fields to a row: Red and Green, Blue and Green2.
    QHBoxLayout* pair = nullptr;
    for (const FieldSetting& f : kWhiteBalanceFields) {
        auto* field = new TextFieldScroller(w);
        field->setObjectName(QString::fromLatin1(f.key));
        field->setTag(1);
        if (const SettingRange* range = setting_range(f.key)) field->setValueRange(range->min, range->max);
        if (!pair) {
            pair = new QHBoxLayout;
            pair->setSpacing(4);
            grid->addWidget(caption(f.title), row, 0);
            pair->addWidget(field, 1);
        } else {
            auto* second = new QLabel(QObject::tr(f.title), w);
            second->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            pair->addWidget(second);
            pair->addWidget(field, 1);
            grid->addLayout(pair, row++, 1, 1, 2);
            pair = nullptr;
        }
        const std::string key = f.key, title = f.title;
        connect(field, &TextFieldScroller::valueEdited, this,
                [this, key, title](double v) { pc_.changeSetting(key, SettingsValue(v), title); });
        settingViews_[key] = [field](const SettingsValue& v) { field->showValue(v.double_value(), 3); };
    }

    for (const SliderSetting& s : kSliders) {
        auto* slider = new KSlider(w);
        slider->setObjectName(QString::fromLatin1(s.key));
        const SettingRange* range = setting_range(s.key);
        slider->setDoubleRange(range->min, range->max);
        slider->setTag(s.tag);
        auto* field = new TextFieldScroller(w);
        field->setObjectName(QString::fromLatin1(s.key) + QStringLiteral("Field"));
        field->setTag(s.tag);
        field->setValueRange(range->min, range->max);
        field->setFixedWidth(46);
        grid->addWidget(caption(s.title), row, 0);
        grid->addWidget(slider, row, 1);
        grid->addWidget(field, row++, 2);
        const std::string key = s.key, title = s.title;
        const int decimals = s.decimals;
        const auto edited = [this, key, title](double v) { pc_.changeSetting(key, SettingsValue(v), title); };
        connect(slider, &KSlider::valueEdited, this, [field, decimals, edited](double v) {
            field->showValue(v, decimals);
            edited(v);
        });
        connect(field, &TextFieldScroller::valueEdited, this, [slider, edited](double v) {
            slider->setDoubleValue(v);
            edited(v);
        });
        settingViews_[key] = [slider, field, decimals](const SettingsValue& v) {
            slider->setDoubleValue(v.double_value());
            field->showValue(v.double_value(), decimals);
        };
    }

    popUp("curveType", "Tone curve", [](int i) { return QString::fromLatin1(kCurveTypes[i]); }, 4, true);
    popUp("interpolation", "Interpolation", [](int i) { return QString::fromLatin1(kInterpolations[i]); }, 6);
    popUp("saveFormat", "Save format", [](int i) { return saveFormatTitle(i); }, 24, true);

    filtersButton_ = popUp("bwMode", "Filter", noItems, 0);

    auto* recovery = new QCheckBox(tr("Highlights Recovery"), w);
    recovery->setObjectName(QStringLiteral("highRecoveryEnabled"));
    grid->addWidget(recovery, row++, 0, 1, 3);
    connect(recovery, &QCheckBox::toggled, this, [this](bool on) {
        pc_.setSetting("highRecoveryEnabled", SettingsValue(on ? 1 : 0));
        pc_.enableHighlightRecovery(on);
    });
    settingViews_["highRecoveryEnabled"] = [recovery](const SettingsValue& v) {
        const QSignalBlocker block(recovery);
        recovery->setChecked(v.bool_value());
    };
    // Two switches to a row, in columns of their own (the captions' column
    // keeps its width).
    auto* switches = new QGridLayout;
    switches->setContentsMargins(0, 0, 0, 0);
    switches->setSpacing(grid->verticalSpacing());
    grid->addLayout(switches, row++, 0, 1, 3);
    int column = 0, switchRow = 0;
    for (const SwitchSetting& s : kSwitches) {
        auto* box = new QCheckBox(tr(s.title), w);
        box->setObjectName(QString::fromLatin1(s.key));
        switches->addWidget(box, switchRow, column);
        if (++column == 2) column = 0, ++switchRow;
        const std::string key = s.key, title = s.title;
        connect(box, &QCheckBox::toggled, this,
                [this, key, title](bool on) { pc_.changeSetting(key, SettingsValue(on ? 1 : 0), title); });
        settingViews_[key] = [box](const SettingsValue& v) {
            const QSignalBlocker block(box);
            box->setChecked(v.bool_value());
        };
    }
    grid->setRowStretch(row + 1, 1);
    return w;
}

void MainWindow::bindSettings() {
    RawProcessor& rp = pc_.rawProcessor();
    for (const auto& [key, show] : settingViews_) {
        const std::string k = key;
        observers_.push_back(rp.addObserver(k, [this, k](std::string_view) {
            if (QThread::currentThread() == thread()) {
                refreshSetting(k);
                return;
            }
            // Changed by the worker: shown when its run has ended (reading
            // the setting now could meet the worker's next change of it).
            std::lock_guard<std::mutex> lock(pendingMutex_);
            pendingRefresh_.insert(k);
        }));
    }
    // The gamma field is for the gamma curves only.
    observers_.push_back(rp.addObserver("curveType", [this](std::string_view) {
        if (QThread::currentThread() == thread()) {
            refreshSetting("gamma");
            return;
        }
        std::lock_guard<std::mutex> lock(pendingMutex_);
        pendingRefresh_.insert("gamma");
    }));
    // The bar shows a run while one goes (0 and 100 both mean none).
    observers_.push_back(rp.addObserver("progress", [this](std::string_view) {
        QMetaObject::invokeMethod(this, [this] {
            const double v = pc_.rawProcessor().progress();
            progress_->setValue(v > 0 && v < 100 ? static_cast<int>(v) : 0);
        }, Qt::AutoConnection);
    }));
    refreshAllSettings();
}

void MainWindow::refreshSetting(const std::string& key) {
    const auto it = settingViews_.find(key);
    if (it == settingViews_.end()) return;
    RawProcessor& rp = pc_.rawProcessor();
    try {
        it->second(rp.valueForKey(key));
    } catch (const std::exception&) {
        return;
    }
    if (key == "gamma") {
        const bool editable = valueTransformerForName("GammaFieldEnableTransformer")
                                  ->transformedValue(rp.valueForKey("curveType"))
                                  .bool_value();
        for (const char* name : {"gamma", "gammaField"})
            if (auto* control = findChild<QWidget*>(QString::fromLatin1(name))) control->setEnabled(editable);
    }
}

void MainWindow::refreshPendingSettings() {
    std::set<std::string> keys;
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        keys.swap(pendingRefresh_);
    }
    if (pc_.applyWorker().running()) {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        pendingRefresh_.insert(keys.begin(), keys.end());
        return;
    }
    for (const std::string& k : keys) refreshSetting(k);
}

void MainWindow::refreshAllSettings() {
    for (const auto& entry : settingViews_) refreshSetting(entry.first);
}

}  // namespace dvk
