// MainWindow: the main window of DVK. The preview in a scroll area, and on
// its right a side panel 256 wide: the histogram, the zone box, the
// readouts, a control bound both ways to each development setting, Apply,
// Save, the toggles, the progress and the camera info. It shows the state of
// its PreviewController (it is that controller's PreviewUi) and sends the
// user's actions to it; it holds no rule of its own.
//
// Files by concern:
//   main_window.cpp           construction, the PreviewUi side, grabbing
//   main_window_panel.cpp     the side panel, the zone box, the readouts
//   main_window_bindings.cpp  the setting controls, bound both ways
//   main_window_setup.cpp     the set-up from the preferences, menus, appearance
//   main_window_geometry.cpp  windowWillResize:toSize:, zoom to fit, anchoring
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <QtCore/QMargins>
#include <QtCore/QPointer>
#include <QtWidgets/QMainWindow>

#include "app/preview/display_conversion.h"
#include "app/preview/preview_controller.h"
#include "app/window/window_geometry.h"
#include "app/window/window_preferences.h"
#include "pipeline/settings/key_value_observing.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;

namespace dvk {

class CroppingImageView;
class DiagramWindow;
class ImageViewNoDrag;
class KSlider;
class KeyboardHelperWindow;
class PopUpButtonScroller;
class TextFieldScroller;
class UserDefaults;

// Keeps a button of the panel as narrow as its title (main_window_panel.cpp).
void fitButtonToTitle(QPushButton* button);

class MainWindow : public QMainWindow, public PreviewUi {
    Q_OBJECT
public:
    explicit MainWindow(PreviewController& controller, QWidget* parent = nullptr);
    ~MainWindow() override;

    PreviewController& controller() { return pc_; }

    // --- set-up and preferences (main_window_setup.cpp) ----------------------
    // The window's set-up from the user defaults (awakeFromNib): process-wide
    // values, anchors, buttons, the zone box, the keyboard helper at the first
    // start, the diagram profile.
    void awakeFromNib(UserDefaults& defaults);
    // The keyboard helper (a window of its own), which the first start opens
    // beside this window once it is on show, and not while held: the program
    // holds it until the launch's work (the files it opens) is done, so that
    // it opens beside the window the file gave.
    KeyboardHelperWindow* keyboardHelper() const { return keyboardHelper_; }
    void holdKeyboardHelper(bool held);
    const WindowPreferences& preferences() const { return prefs_; }
    void switchDarkLightMode(bool on);
    // A preference menu item (its tag is its data) toggled.
    void initCheckUpdateMenu(QAction* item);
    Appearance appearance() const { return appearance_; }

    // --- places for the menus, presets and roads of other parts -------------
    PopUpButtonScroller* filtersButton() const { return filtersButton_; }
    PopUpButtonScroller* wbPopUp() const { return wbPopUp_; }
    PopUpButtonScroller* presetsPopUp() const { return presetsPopUp_; }
    PopUpButtonScroller* extEditorsButton() const { return extEditorsButton_; }
    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* applyButton() const { return applyButton_; }
    // A batch's buttons below the progress bar (hidden until a batch runs).
    QPushButton* cancelButton() const { return cancelButton_; }
    QPushButton* postponeButton() const { return postponeButton_; }
    // Shows or hides them; their row takes its height from the info view.
    void showBatchButtons(bool shown);
    // The status line above the info view: one line the user reads without
    // an alert ("" hides it), `details` its tool tip; its height too comes
    // from the info view.
    void setStatusLine(const QString& text, const QString& details = QString());
    QLabel* statusLine() const { return statusLine_; }
    QPlainTextEdit* cameraInfoView() const { return cameraInfoView_; }
    CroppingImageView* imageView() const { return imageView_; }
    ImageViewNoDrag* histogramView() const { return histogramView_; }
    DiagramWindow* diagramWindow() const { return diagramWindow_; }
    QMenu* preferencesMenu() const { return preferencesMenu_; }
    QMenu* imageMenu() const { return imageMenu_; }
    QCheckBox* copyTagsButton() const { return copyTags_; }
    // Shows the camera info text (the open road's step).
    void setCameraInfo(const std::string& text);

    // --- geometry (main_window_geometry.cpp) -----------------------------------
    // The frame size the window may take for a proposed one.
    QSize windowWillResize(QSize proposed) const;
    // The frame of `size` at the anchor for its shape (and sets it); a
    // maximised window keeps the frame the window system gives it.
    QRect anchorFrameRect(QRect rect);
    // The same for a window that is to be no longer maximised (the empty frame).
    QRect anchorNormalFrameRect(QRect rect);
    // Maximises the window (the "keepMax" preference): the screen's free
    // area, left to the window system while it stays so.
    void maximise();
    CornerDistance topRightPointL() const { return topRightPointL_; }
    CornerDistance topRightPointP() const { return topRightPointP_; }
    void setTopRightPoints(CornerDistance landscape, CornerDistance portrait);

    // --- the developer hooks' view of the window -----------------------------
    // The window as it is drawn, and where the visible image and the
    // histogram lie in it, in its pixels.
    QImage grabWindow();
    QRect visibleImageRect() const;
    QRect histogramRect() const;
    double grabScale() const;

    // --- PreviewUi -------------------------------------------------------------
    void setImage(const std::shared_ptr<DisplayImage>& image) override;
    RectD selectedImageRect() const override;
    RectD selectionRect() const override;
    void setSelectionRect(const RectD& rect) override;
    void setHistogramImage(const std::vector<std::uint8_t>& rgb) override;
    void setDiagramImage(const std::vector<std::uint8_t>& rgb, const std::vector<std::uint8_t>& profile) override;
    bool diagramWindowVisible() const override;
    void showDiagramWindow() override;
    void closeDiagramWindow() override;
    void stateChanged() override;
    void applyWillStart() override;
    void applyDidEnd() override;
    void zoomToFitChanged() override;
    void scrollImageTo(PointD imagePoint) override;
    void setImageSize(unsigned width, unsigned height) override;
    void anchorWindow() override;
    double progressMaximum() const override { return 100; }

signals:
    // The window shows the controller's state anew (a file opened or gone,
    // a develop ended, ...).
    void stateShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // main_window_panel.cpp
    QWidget* buildSidePanel();
    QWidget* buildZoneBox(const QFont& small);
    void showZoneNameColours();
    QWidget* buildReadouts();
    QWidget* buildToggles();
    void showReadouts();
    void layoutContent();
    // The panel's height with every row shown.
    int panelHeightWanted() const;
    // The info view's least height less the rows shown above it (the batch
    // buttons, the status line), so that the panel keeps its height.
    void fitInfoViewLeastHeight();
    // main_window_bindings.cpp
    QWidget* buildSettingControls();
    void bindSettings();
    void refreshSetting(const std::string& key);
    void refreshAllSettings();
    // Settings the worker changed (a load's defaults): shown once its run ended.
    void refreshPendingSettings();
    // main_window_setup.cpp
    void buildMenus();
    void showSaveButtonText(bool autoNext);
    // The first start's keyboard helper, once the window is on show.
    void openPendingKeyboardHelper();
    // main_window_geometry.cpp
    RectD screenVisibleRect() const;
    // The window system's frame around the window (none until it is shown).
    QMargins decorations() const;
    // The screen's free area less the decorations: room for the window.
    QRect clientArea() const;
    // The height of the menus above the content.
    int menusHeight() const;
    // The least content size: the side panel beside 64 of image, and the
    // panel's height (680 at least), within what the screen has room for.
    void keepLeastSizeOnScreen();
    // anchorFrameRect's placing with the given decorations.
    QRect placeAtAnchor(QRect rect, QMargins margins);
    // Once the frame's change has settled: the secondary windows it now
    // covers, or whose way it came, are placed again (none for the user's
    // moves only).
    void keepSecondaryWindowsClear(bool movedByUser);

    void handleImageViewNotification(const QString& name, QPointF localPoint);

    PreviewController& pc_;
    WindowPreferences prefs_;
    Appearance appearance_ = Appearance::System;
    CornerDistance topRightPointL_, topRightPointP_;
    DisplayConverter converter_;
    std::shared_ptr<DisplayImage> image_;
    QPoint rememberedScroll_;
    bool adjustingSize_ = false;
    bool menusChangePending_ = false;
    QPoint anchoredFrameOrigin_{-1000000, -1000000};  // where anchorFrameRect last put the frame
    QMargins anchoredDecorations_;                       // and the decorations it reckoned with
    bool leavingMaximised_ = false;  // until the window comes where anchorNormalFrameRect put it
    bool secondaryCheckPending_ = false;
    bool secondaryCheckByUserOnly_ = false;  // every change since the last check was a move of the user's
    QPointer<QWidget> rememberedFocus_;

    QWidget* content_ = nullptr;
    QWidget* backdrop_ = nullptr;
    QScrollArea* scrollArea_ = nullptr;
    CroppingImageView* imageView_ = nullptr;
    QWidget* sidePanel_ = nullptr;
    QScrollArea* settingsArea_ = nullptr;  // the setting controls, scrolled on a low screen
    ImageViewNoDrag* histogramView_ = nullptr;
    QWidget* zBox_ = nullptr;
    std::vector<QPushButton*> zoneButtons_;
    std::vector<QLabel*> zoneLabels_;
    std::map<std::string, QLabel*> readouts_;
    QCheckBox *histR_ = nullptr, *histG_ = nullptr, *histB_ = nullptr, *histL_ = nullptr;
    QCheckBox *zoomToFit_ = nullptr, *showClipping_ = nullptr, *showPrevious_ = nullptr, *copyTags_ = nullptr,
              *darkMode_ = nullptr;
    QPushButton *applyButton_ = nullptr, *saveButton_ = nullptr;
    QPushButton *cancelButton_ = nullptr, *postponeButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPlainTextEdit* cameraInfoView_ = nullptr;
    QLabel* statusLine_ = nullptr;
    PopUpButtonScroller *filtersButton_ = nullptr, *wbPopUp_ = nullptr, *presetsPopUp_ = nullptr;
    PopUpButtonScroller* extEditorsButton_ = nullptr;
    QMenu* preferencesMenu_ = nullptr;
    QMenu* imageMenu_ = nullptr;
    DiagramWindow* diagramWindow_ = nullptr;
    KeyboardHelperWindow* keyboardHelper_ = nullptr;
    bool keyboardHelperPending_ = false;  // opens once the window is on show
    bool keyboardHelperHeld_ = false;

    // Setting controls by key: how to show the model's value.
    std::map<std::string, std::function<void(const SettingsValue&)>> settingViews_;
    std::vector<KeyValueObservers::Token> observers_;
    std::mutex pendingMutex_;
    std::set<std::string> pendingRefresh_;
};

}  // namespace dvk
