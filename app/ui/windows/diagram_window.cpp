#include "app/ui/windows/diagram_window.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include "app/preview/preview_controller.h"
#include "app/ui/controls/context_actions.h"
#include "app/ui/controls/image_view_no_drag.h"
#include "app/ui/controls/k_slider.h"
#include "app/ui/controls/text_field_scroller.h"

namespace dvk {

DiagramWindow::DiagramWindow(PreviewController& controller, QWidget* parent)
    : QWidget(parent, Qt::Tool), pc_(controller) {
    setWindowTitle(tr("Gamut Diagram"));
    auto* grid = new QGridLayout(this);
    view_ = new ImageViewNoDrag(this);
    view_->setFixedSize(256, 256);
    grid->addWidget(view_, 0, 0, 1, 3);

    grid->addWidget(new QLabel(tr("L*"), this), 1, 0);
    diagramLslider_ = new KSlider(this);
    diagramLslider_->setDoubleRange(0, 100);
    diagramLslider_->setTag(100);
    grid->addWidget(diagramLslider_, 1, 1);
    diagramL_ = new TextFieldScroller(this);
    diagramL_->setTag(100);
    diagramL_->setValueRange(0, 100);
    diagramL_->setFixedWidth(48);
    grid->addWidget(diagramL_, 1, 2);

    fullGamut_ = new QCheckBox(tr("Full gamut"), this);
    grid->addWidget(fullGamut_, 2, 0, 1, 3);
    profileButton_ = new QPushButton(tr("Profile..."), this);
    profileButton_->setToolTip(tr("Second profile of the diagram (Alt-click or right-click: none)"));
    grid->addWidget(profileButton_, 3, 0, 1, 2);
    profileLabel_ = new QLabel(this);
    grid->addWidget(profileLabel_, 3, 2);

    const auto sliceChanged = [this](double v) {
        pc_.controls().diagramL = v;
        pc_.drawDiagram();
    };
    connect(diagramLslider_, &KSlider::valueEdited, this, sliceChanged);
    connect(diagramL_, &TextFieldScroller::valueEdited, this, sliceChanged);
    connect(fullGamut_, &QCheckBox::toggled, this, [this](bool on) {
        pc_.controls().fullGamut = on;
        pc_.drawDiagram();
    });
    connect(profileButton_, &QPushButton::clicked, this, [this] {
        pc_.setDiagramProfile(QGuiApplication::keyboardModifiers() & Qt::AltModifier);
    });
    // Alt-click is the window manager's on many desktops: the same from the button's menu.
    addContextAction(profileButton_, tr("No Second Profile"), [this] { pc_.setDiagramProfile(true); });
    showState();
}

void DiagramWindow::showState() {
    const WindowControls& c = pc_.controls();
    diagramLslider_->setDoubleValue(c.diagramL);
    diagramL_->showValue(c.diagramL, 0);
    {
        const QSignalBlocker block(fullGamut_);
        fullGamut_->setChecked(c.fullGamut);
    }
    diagramL_->setEnabled(!c.fullGamut);
    diagramLslider_->setEnabled(!c.fullGamut);
    profileLabel_->setText(QString::fromStdString(c.diagramProfileLabel));
    profileLabel_->setToolTip(QString::fromStdString(c.diagramProfileToolTip));
}

}  // namespace dvk
