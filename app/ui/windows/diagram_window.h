// DiagramWindow: the gamut diagram of the preview in the CIE a*b* plane,
// with the lightness of the slice (a field and a slider bound together), the
// full-gamut switch and the second profile's button and name.
#pragma once

#include <QtWidgets/QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace dvk {

class ImageViewNoDrag;
class KSlider;
class PreviewController;
class TextFieldScroller;

class DiagramWindow : public QWidget {
    Q_OBJECT
public:
    DiagramWindow(PreviewController& controller, QWidget* parent = nullptr);

    ImageViewNoDrag* diagramView() const { return view_; }
    // Shows the controller's slice, switch and profile name.
    void showState();

private:
    PreviewController& pc_;
    ImageViewNoDrag* view_ = nullptr;
    TextFieldScroller* diagramL_ = nullptr;
    KSlider* diagramLslider_ = nullptr;
    QCheckBox* fullGamut_ = nullptr;
    QPushButton* profileButton_ = nullptr;
    QLabel* profileLabel_ = nullptr;
};

}  // namespace dvk
