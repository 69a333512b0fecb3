// PopUpButtonScroller: a pop-up button that the scroll wheel moves to the
// next or previous enabled item, past separators and the "New..." and
// "Delete" commands. Each item carries a tag (its meaning); the selected tag
// is bound: `tagChosen` carries each tag the user picks. A chosen title
// wider than the button is drawn cut short with "…" (the whole title then
// in its tool tip).
#pragma once

#include <functional>

#include <QtWidgets/QComboBox>

#include "app/window/control_rules.h"

namespace dvk {

class PopUpButtonScroller : public QComboBox {
    Q_OBJECT
public:
    explicit PopUpButtonScroller(QWidget* parent = nullptr);

    // A non-zero tag lets the wheel step the pop-up.
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    static void setDontMouseScrollValues(std::function<bool()> query);

    void addTaggedItem(const QString& title, long tag, bool enabled = true);
    long selectedTag() const;
    // Selects the item of `tag` without telling anyone; when none has it,
    // none is selected (the pop-up shows no title) and the answer is false.
    bool selectTag(long tag);
    std::vector<PopUpItem> items() const;
    // Whether the chosen item's title shows whole at the button's width.
    bool showsWholeTitle() const;

signals:
    void tagChosen(long tag);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // The room for the title, and the title as it fits there.
    int titleRoom() const;
    QString shownTitle() const;

    int tag_ = 0;
    static ScrollAccumulator accumulator_;
    static std::function<bool()> dontScroll_;
};

}  // namespace dvk
