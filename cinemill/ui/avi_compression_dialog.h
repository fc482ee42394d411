#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "cinemill/base/ui_host.h"

class QComboBox;
class QRadioButton;

namespace cinemill {

// "AVI Compression": no compression, RLE8 (the first choice) or one of the
// FFmpeg encoders found on this machine (the advanced choice, which is
// unavailable when none was found).
class AviCompressionDialog : public QDialog {
    Q_OBJECT
public:
    AviCompressionDialog(const std::vector<std::string>& codecs, QWidget* parent = nullptr);
    AviCompressionChoice Choice() const;

private:
    QRadioButton* none_ = nullptr;
    QRadioButton* rle8_ = nullptr;
    QRadioButton* advanced_ = nullptr;
    QComboBox* codecs_ = nullptr;
};

// UiHost::AskAviCompression with a parent: the choice, none for Cancel.
std::optional<AviCompressionChoice> AskAviCompressionDialog(QWidget* parent, const std::vector<std::string>& codecs);

}  // namespace cinemill
