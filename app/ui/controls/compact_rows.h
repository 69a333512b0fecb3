// Compact rows for a panel of many controls: the font of a small control
// (the application's font at 11/13 of its size, as small controls are drawn
// beside regular ones) and a row height to match, so that a long panel of
// fields, sliders, pop-ups and switches fits a screen without scrolling.
#pragma once

#include <QtGui/QFont>

class QWidget;

namespace dvk {

// The small control font made from `base`.
QFont smallControlFont(const QFont& base);

// The height of one row of fields, pop-ups and buttons in `font`.
int compactRowHeight(const QFont& font);

// Gives every field, pop-up, button, switch and slider inside `panel` the
// compact height of its own font; captions that wrap at a fixed width keep
// the height of their lines; other views keep theirs.
void makeRowsCompact(QWidget* panel);

}  // namespace dvk
