#pragma once
// The font dialog of the font commands: Qt's font chooser (family, style, size, strike-out,
// underline) with a colour choice added to its effects.

#include <optional>

#include "app/ui/dialogs.h"

class QWidget;

namespace tirelle::ui {

// Shows the dialog, titled `title`, on `current`; the font and colour chosen, or nothing when
// cancelled. The colour stays as it was unless the user picks another.
std::optional<FontChoice> runFontDialog(QWidget* parent, const QString& title,
                                        const FontChoice& current);

}  // namespace tirelle::ui
