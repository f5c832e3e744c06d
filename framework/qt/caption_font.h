#pragma once
#include <QFont>

#include "framework/core/controls.h"

namespace fw::qt {

// The font a control's caption is drawn in. Captions were laid out for boxes
// of fixed size, so their font follows the control's own lettering and not
// the desktop's font size.
QFont CaptionFont(const TextStyle& lettering);

}  // namespace fw::qt
