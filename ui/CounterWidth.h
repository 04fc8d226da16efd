#pragma once

class QLineEdit;

namespace tessel::ui {

// How many pixels a counter box lacks to show its whole text; 0 when every digit shows. A line
// edit scrolls text wider than itself, so the leading digits of a long count would be cut off.
int missingWidth(const QLineEdit& box);

}  // namespace tessel::ui
