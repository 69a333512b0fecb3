// The custom controls with synthetic wheel, mouse and key events.
#include <gtest/gtest.h>

#include <QtGui/QStandardItemModel>
#include <QtGui/QWheelEvent>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>
#include <QtGui/QHelpEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QToolTip>

#include "app/ui/controls/cropping_image_view.h"
#include "app/ui/controls/k_slider.h"
#include "app/ui/controls/pop_up_button_scroller.h"
#include "app/ui/controls/text_field_scroller.h"

namespace dvk {
namespace {

void wheel(QWidget* w, int angleY, Qt::ScrollPhase phase, bool inverted = false) {
    QWheelEvent e(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, angleY), Qt::NoButton,
                  Qt::NoModifier, phase, inverted);
    QApplication::sendEvent(w, &e);
}

TEST(TextFieldScrollerUi, WheelStepsByTheTag) {
    TextFieldScroller field;
    field.setTag(5);
    field.showValue(1.0);
    QSignalSpy edited(&field, &TextFieldScroller::valueEdited);
    // A classic wheel: every notch steps.
    wheel(&field, 120, Qt::NoScrollPhase);
    wheel(&field, 120, Qt::NoScrollPhase);
    ASSERT_EQ(edited.count(), 2);
    EXPECT_FLOAT_EQ(edited.last().at(0).toFloat(), 1.1f);
    wheel(&field, -120, Qt::NoScrollPhase);
    EXPECT_FLOAT_EQ(edited.last().at(0).toFloat(), 1.05f);
    // An inverted device steps the other way.
    wheel(&field, -120, Qt::NoScrollPhase, true);
    EXPECT_FLOAT_EQ(edited.last().at(0).toFloat(), 1.1f);
    edited.clear();
    // A slow gesture: a step at its start, then one per 2.0 (240 units).
    wheel(&field, 30, Qt::ScrollBegin);
    for (int i = 0; i < 10; ++i) wheel(&field, 60, Qt::ScrollUpdate);  // 5.0 notches
    EXPECT_EQ(edited.count(), 1 + 2);
    // Switched off by the preference, and for a read-only field.
    edited.clear();
    TextFieldScroller::setDontMouseScrollValues([] { return true; });
    wheel(&field, 120, Qt::NoScrollPhase);
    TextFieldScroller::setDontMouseScrollValues({});
    field.setReadOnly(true);
    wheel(&field, 120, Qt::NoScrollPhase);
    EXPECT_EQ(edited.count(), 0);
}

TEST(TextFieldScrollerUi, TypingKeepsToANumber) {
    TextFieldScroller field;
    QSignalSpy edited(&field, &TextFieldScroller::valueEdited);
    field.setFocus();
    QTest::keyClicks(&field, "1.2.3");
    EXPECT_EQ(field.text(), "1.23");
    field.clear();
    QTest::keyClicks(&field, "-1,5x-");
    EXPECT_EQ(field.text(), "-1,5");
    QTest::keyClick(&field, Qt::Key_Return);
    ASSERT_EQ(edited.count(), 1);
    EXPECT_DOUBLE_EQ(edited.last().at(0).toDouble(), -1.5);
    // The whole text is the number, brought into the field's range (an
    // exponent kept, an infinity its end); a text that is none gives nothing
    // and the field shows its value again.
    field.setValueRange(-50, 50);
    const auto type = [&field](const char* text) {
        field.showValue(2.0, 1);
        field.selectAll();
        QTest::keyClicks(&field, text);
        QTest::keyClick(&field, Qt::Key_Return);
    };
    type("1e9");
    ASSERT_EQ(edited.count(), 2);
    EXPECT_EQ(edited.last().at(0).toDouble(), 50.0);
    type("-inf");
    ASSERT_EQ(edited.count(), 3);
    EXPECT_EQ(edited.last().at(0).toDouble(), -50.0);
    type("1e-");
    EXPECT_EQ(edited.count(), 3);
    EXPECT_EQ(field.text(), "2.0");
}

TEST(PopUpButtonScrollerUi, WheelSkipsSeparatorsAndCommands) {
    PopUpButtonScroller p;
    p.setTag(1);
    p.addTaggedItem("Auto", 1);
    p.addTaggedItem("Camera", 2);
    p.insertSeparator(2);
    p.addTaggedItem("Daylight", 5000);
    p.addTaggedItem("New...", 100);
    p.addTaggedItem("Delete", 101);
    p.setCurrentIndex(1);
    QSignalSpy chosen(&p, &PopUpButtonScroller::tagChosen);
    wheel(&p, -120, Qt::NoScrollPhase);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.last().at(0).toLongLong(), 5000);
    wheel(&p, -120, Qt::NoScrollPhase);  // only "New..." and "Delete" below
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(p.selectedTag(), 5000);
    wheel(&p, 120, Qt::NoScrollPhase);
    EXPECT_EQ(p.selectedTag(), 2);
    p.setTag(0);  // no tag: the wheel does nothing
    wheel(&p, 120, Qt::NoScrollPhase);
    EXPECT_EQ(p.selectedTag(), 2);
}

// A title too long for the button (a long profile path, a screen too small)
// is drawn cut short; the tool tip then shows it whole.
TEST(PopUpButtonScrollerUi, ATitleCutShortIsWholeInTheToolTip) {
    PopUpButtonScroller p;
    p.setToolTip(QStringLiteral("Filter"));
    p.addTaggedItem(QStringLiteral("Color"), 0);
    p.addTaggedItem(QStringLiteral("/tmp/profiles/a-long-folder-name/uplab2lab-with-a-long-name.icc"), 2000);
    p.resize(140, p.sizeHint().height());
    p.show();
    EXPECT_TRUE(p.showsWholeTitle());
    p.setCurrentIndex(1);
    EXPECT_FALSE(p.showsWholeTitle());
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), p.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&p, &help);
    EXPECT_EQ(QToolTip::text(), p.currentText() + QStringLiteral("\nFilter"));
    QToolTip::hideText();
}

TEST(KSliderUi, DragsSnapAndArrowsStep) {
    KSlider s;
    s.resize(600, 24);
    s.setDoubleRange(0, 60);  // step 0.5
    s.setDoubleValue(30);
    s.show();
    QSignalSpy edited(&s, &KSlider::valueEdited);
    const auto xOf = [&](double v) {
        // The handle's centre for a value (Fusion draws the groove end to end, less the handle).
        QStyleOptionSlider opt;
        opt.initFrom(&s);
        const int handle = s.style()->pixelMetric(QStyle::PM_SliderLength, &opt, &s);
        return handle / 2 + static_cast<int>((s.width() - handle) * v / 60.0);
    };
    // Less than two steps (1.0): back to where it was.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(xOf(30), 12));
    QTest::mouseMove(&s, QPoint(xOf(30.8), 12));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(xOf(30.8), 12));
    ASSERT_EQ(edited.count(), 1);
    EXPECT_DOUBLE_EQ(s.doubleValue(), 30.0);
    // Further: whole steps from the start.
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(xOf(30), 12));
    QTest::mouseMove(&s, QPoint(xOf(36.1), 12));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(xOf(36.1), 12));
    EXPECT_NEAR(s.doubleValue(), 36.0, 0.5001);
    EXPECT_DOUBLE_EQ(std::fmod(s.doubleValue(), 0.5), 0.0);
    // A press on the groove puts the knob under the pointer; dragged on, it
    // follows the pointer.
    const int before = edited.count();
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(xOf(10), 12));
    QTest::mouseMove(&s, QPoint(xOf(15), 12));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(xOf(15), 12));
    EXPECT_EQ(edited.count(), before + 1);
    EXPECT_NEAR(s.doubleValue(), 15.0, 0.5001);
    // The slider's own keys set the value they move the knob to.
    QTest::keyClick(&s, Qt::Key_End);
    EXPECT_DOUBLE_EQ(s.doubleValue(), 60.0);
    EXPECT_DOUBLE_EQ(edited.last().at(0).toDouble(), 60.0);
    // Arrow keys: one step from the step grid.
    s.setDoubleValue(10.3);
    QTest::keyClick(&s, Qt::Key_Right);
    EXPECT_DOUBLE_EQ(s.doubleValue(), 11.0);
    QTest::keyClick(&s, Qt::Key_Left);
    EXPECT_DOUBLE_EQ(s.doubleValue(), 10.5);
    s.setTag(25);
    EXPECT_DOUBLE_EQ(s.step(), 0.25);
}

struct Notes {
    std::vector<std::string> names;
    std::vector<QPointF> points;
};

TEST(CroppingImageViewUi, ClicksPostTheirNotifications) {
    CroppingImageView v;
    v.resize(300, 200);
    v.setWidthAndHeight(600, 400);
    v.show();
    Notes n;
    QObject::connect(&v, &CroppingImageView::notify, [&](const QString& name, QPointF p) {
        n.names.push_back(name.toStdString());
        n.points.push_back(p);
    });
    QTest::mouseClick(&v, Qt::LeftButton, Qt::ControlModifier, QPoint(10, 20));
    QTest::mouseClick(&v, Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier, QPoint(10, 20));
    QTest::mouseClick(&v, Qt::LeftButton, Qt::MetaModifier, QPoint(10, 20));
    QTest::mouseClick(&v, Qt::LeftButton, Qt::MetaModifier | Qt::AltModifier, QPoint(10, 20));
    QTest::mouseClick(&v, Qt::LeftButton, Qt::ControlModifier | Qt::MetaModifier, QPoint(10, 20));
    const std::vector<std::string> clicks = {
        "cmdClick",  "ImageSelectionChanged", "cmdOptClick",  "ImageSelectionChanged",
        "ctrlClick", "ImageSelectionChanged", "ctrlOptClick", "ImageSelectionChanged",
        "cmdClick",  "ImageSelectionChanged"};
    EXPECT_EQ(n.names, clicks);
    EXPECT_EQ(n.points[0], QPointF(10, 20));
    // The double-click event posts only "doubleClick", whatever the keys.
    n.names.clear();
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(10, 20), v.mapToGlobal(QPointF(10, 20)), Qt::LeftButton,
                    Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier);
    QApplication::sendEvent(&v, &dbl);
    EXPECT_EQ(n.names, std::vector<std::string>{"doubleClick"});
    QTest::mouseRelease(&v, Qt::LeftButton, {}, QPoint(10, 20));
}

TEST(CroppingImageViewUi, SelectionsAndPanning) {
    CroppingImageView v;
    v.resize(300, 300);
    v.setWidthAndHeight(600, 400);  // drawn 300 x 200, 50 below the top
    v.show();
    int changes = 0;
    QObject::connect(&v, &CroppingImageView::notify, [&](const QString& name, QPointF) {
        changes += name == "ImageSelectionChanged";
    });
    // Dragged right to left: the same rectangle as left to right.
    QTest::mousePress(&v, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseMove(&v, QPoint(150, 100));
    QTest::mouseRelease(&v, Qt::LeftButton, {}, QPoint(100, 80));
    EXPECT_EQ(v.selectionMarker().selectedRect(), (RectD{100, 80, 100, 70}));
    EXPECT_EQ(v.selectedImageRect(), (RectD{200, 60, 200, 140}));
    EXPECT_EQ(changes, 1);  // at release (not continuous)
    // The whole view selected: the whole image from (0, 0). (QTest takes
    // the point (0, 0) for the widget's centre: the drag ends beyond it.)
    QTest::mousePress(&v, Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseMove(&v, QPoint(100, 100));
    QTest::mouseRelease(&v, Qt::LeftButton, {}, QPoint(-1, -1));
    EXPECT_EQ(v.selectedImageRect(), (RectD{0, 0, 600, 400}));
    // Shift-dragging never touches the selection.
    const RectD before = v.selectionMarker().selectedRect();
    QTest::mousePress(&v, Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 10));
    QTest::mouseMove(&v, QPoint(60, 60));
    QTest::mouseRelease(&v, Qt::LeftButton, Qt::ShiftModifier, QPoint(80, 80));
    EXPECT_EQ(v.selectionMarker().selectedRect(), before);
    // Continuous mode posts while dragging.
    v.setContinuousMode(1);
    changes = 0;
    QTest::mousePress(&v, Qt::LeftButton, {}, QPoint(10, 60));
    QTest::mouseMove(&v, QPoint(40, 90));
    QTest::mouseMove(&v, QPoint(50, 100));
    QTest::mouseRelease(&v, Qt::LeftButton, {}, QPoint(50, 100));
    EXPECT_EQ(changes, 3);
}

}  // namespace
}  // namespace dvk
