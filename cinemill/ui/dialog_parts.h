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

// OK and Cancel for `dialog`, accepting and rejecting it, with the object
// names the tests find them by: "IDOK" and "IDCANCEL" for the dialogs that
// keep their control ids, "ok" and "cancel" for the image-operation dialogs.
// The caller places the box.
QDialogButtonBox* OkCancelButtons(QDialog* dialog, const char* ok_name = "IDOK",
                                  const char* cancel_name = "IDCANCEL");

// OK and Cancel of the property sheets: the string table's texts, named "1"
// and "2" (the sheets' control ids), OK the default button; accepting and
// rejecting `dialog`. The buttons are handed out in `ok` and `cancel`.
QDialogButtonBox* SheetButtons(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel);

}  // namespace cinemill
