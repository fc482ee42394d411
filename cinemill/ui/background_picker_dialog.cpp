#include "cinemill/ui/background_picker_dialog.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "cinemill/ui/dialog_parts.h"
#include "cinemill/ui/palette_widgets.h"
#include "cinemill/ui/properties_sheet.h"

namespace cinemill {

BackgroundPickerDialog::BackgroundPickerDialog(const Animation& doc, int current, QWidget* parent)
    : QDialog(parent), picker_(OpenBackgroundPicker(doc)) {
    setWindowTitle(tr("Pick GIF Background Color"));
    setObjectName("PickBackgroundColor");
    PickBackgroundEntry(picker_, current);
    grid_ = new ColorGrid(this);
    grid_->setObjectName("MyShowColors");
    const Palette* p = doc.globalPalette ? &*doc.globalPalette : nullptr;
    grid_->SetColors(Colors256(p), picker_.count);
    grid_->SetSelected(picker_.selected);
    connect(grid_, &ColorGrid::entryClicked, this, [this](int i) {
        PickBackgroundEntry(picker_, i);
        grid_->SetSelected(picker_.selected);
    });
    auto* buttons = OkCancelButtons(this);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(grid_, 0, Qt::AlignHCenter);
    lay->addWidget(buttons);
    setFixedSize(sizeHint());
}

int PickBackgroundColorDialog(QWidget* parent, const Animation& doc, int current) {
    if (!doc.globalPalette) return -1;
    BackgroundPickerDialog dlg(doc, current, parent);
    dlg.exec();
    return dlg.Result();
}

namespace {
// The Animation page's Background Color button.
[[maybe_unused]] const bool registered = RegisterBackgroundPicker(PickBackgroundColorDialog);
}  // namespace

}  // namespace cinemill
