#pragma once

// Pieces every dialog of the editor uses: string-table texts as QStrings
// and the standard rows of buttons.

#include <QString>

#include "cinemill/base/strings.h"

class QDialog;
class QDialogButtonBox;
class QPushButton;

namespace cinemill {

// A string-table text as a QString.
QString Tr(StringId id);

// OK and Cancel for `dialog`, named "IDOK" and "IDCANCEL" (the names the
// tests find them by), accepting and rejecting it. The caller places the box.
QDialogButtonBox* OkCancelButtons(QDialog* dialog);

// OK and Cancel of the property sheets: the string table's texts, named "1"
// and "2" (the sheets' control ids), OK the default button; accepting and
// rejecting `dialog`. The buttons are handed out in `ok` and `cancel`.
QDialogButtonBox* SheetButtons(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel);

}  // namespace cinemill
