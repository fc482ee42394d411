#pragma once

#include <QDialog>

#include <optional>

#include "cinemill/base/ui_host.h"

class QCheckBox;
class QRadioButton;

namespace cinemill {

// "Handling of PSD Layers": one composite frame, or the layers as frames
// blended with the background layer (optionally keeping it as a frame) or
// with the composite image.
class PsdLayersDialog : public QDialog {
    Q_OBJECT
public:
    explicit PsdLayersDialog(const PsdLayerChoice& preset, QWidget* parent = nullptr);
    // What the controls say.
    PsdLayerChoice Choice() const;

private:
    void UpdateEnabled();
    QRadioButton* composite_ = nullptr;
    QRadioButton* layers_ = nullptr;
    QRadioButton* withBackground_ = nullptr;
    QRadioButton* withComposite_ = nullptr;
    QCheckBox* keep_ = nullptr;
};

// UiHost::AskPsdLayers with a parent: the choice, none for Cancel.
std::optional<PsdLayerChoice> AskPsdLayersDialog(QWidget* parent, const PsdLayerChoice& preset);

}  // namespace cinemill
