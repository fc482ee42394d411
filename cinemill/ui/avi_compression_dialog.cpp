#include "cinemill/ui/avi_compression_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "cinemill/ui/dialog_parts.h"

namespace cinemill {

AviCompressionDialog::AviCompressionDialog(const std::vector<std::string>& codecs, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("AVI Compression"));
    setObjectName("AviCompression");
    auto* text = new QLabel(tr("The AVI (Audio Video Interleaved) format is designed to accomodate a variety of "
                               "video compression techniques. Which one would you like to use?"),
                            this);
    text->setWordWrap(true);
    none_ = new QRadioButton(tr("No Compression"), this);
    none_->setObjectName("NoCompression");
    rle8_ = new QRadioButton(tr("RLE8 Compression (Recommended)"), this);
    rle8_->setObjectName("Rle8Compression");
    advanced_ = new QRadioButton(tr("Specify Compression Parameters (Advanced)"), this);
    advanced_->setObjectName("SpecifyCompression");
    auto* group = new QButtonGroup(this);
    for (QRadioButton* b : {none_, rle8_, advanced_}) group->addButton(b);
    rle8_->setChecked(true);
    codecs_ = new QComboBox(this);
    codecs_->setObjectName("Codec");
    for (const std::string& c : codecs) codecs_->addItem(QString::fromStdString(c));
    codecs_->setEnabled(false);
    advanced_->setEnabled(!codecs.empty());
    connect(advanced_, &QRadioButton::toggled, codecs_, &QComboBox::setEnabled);

    auto* buttons = OkCancelButtons(this);
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(text);
    lay->addWidget(none_);
    lay->addWidget(rle8_);
    lay->addWidget(advanced_);
    auto* codecRow = new QHBoxLayout;
    codecRow->setContentsMargins(24, 0, 0, 0);
    codecRow->addWidget(new QLabel(tr("Encoder:"), this));
    codecRow->addWidget(codecs_, 1);
    lay->addLayout(codecRow);
    lay->addWidget(buttons);
    setMinimumWidth(420);
}

AviCompressionChoice AviCompressionDialog::Choice() const {
    AviCompressionChoice c;
    if (none_->isChecked()) c.kind = AviCompressionChoice::Kind::None;
    else if (advanced_->isChecked() && codecs_->count() > 0) {
        c.kind = AviCompressionChoice::Kind::Codec;
        c.codec = codecs_->currentText().toStdString();
    }
    return c;
}

std::optional<AviCompressionChoice> AskAviCompressionDialog(QWidget* parent, const std::vector<std::string>& codecs) {
    AviCompressionDialog dlg(codecs, parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Choice();
}

}  // namespace cinemill
