#include "cinemill/ui/dialog_parts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace cinemill {

QString Tr(StringId id) {
    const std::string_view t = LoadString(id);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

namespace {

QDialogButtonBox* Connected(QDialogButtonBox* box, QDialog* dialog) {
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

}  // namespace

QDialogButtonBox* OkCancelButtons(QDialog* dialog, const char* ok_name, const char* cancel_name) {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    box->button(QDialogButtonBox::Ok)->setObjectName(ok_name);
    box->button(QDialogButtonBox::Cancel)->setObjectName(cancel_name);
    return Connected(box, dialog);
}

QDialogButtonBox* SheetButtons(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel) {
    auto* box = new QDialogButtonBox(dialog);
    ok = box->addButton(Tr(StringId::ButtonOk), QDialogButtonBox::AcceptRole);
    cancel = box->addButton(Tr(StringId::ButtonCancel), QDialogButtonBox::RejectRole);
    ok->setObjectName("1");
    cancel->setObjectName("2");
    ok->setDefault(true);
    return Connected(box, dialog);
}

}  // namespace cinemill
