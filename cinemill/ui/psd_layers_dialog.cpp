#include "cinemill/ui/psd_layers_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "cinemill/ui/dialog_parts.h"

namespace cinemill {

PsdLayersDialog::PsdLayersDialog(const PsdLayerChoice& preset, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Handling of PSD Layers"));
    setObjectName("HandlingOfPsdLayers");
    auto* text = new QLabel(tr("This PSD file consists of more than one layer. These layers can be imported as "
                               "separate frames or combined to import a single composite frame. How should the "
                               "layers be imported?"),
                            this);
    text->setWordWrap(true);
    composite_ = new QRadioButton(tr("One composite frame"), this);
    composite_->setObjectName("OneCompositeFrame");
    layers_ = new QRadioButton(tr("Layers as multiple frames in animation"), this);
    layers_->setObjectName("LayersAsFrames");
    auto* top = new QButtonGroup(this);
    top->addButton(composite_);
    top->addButton(layers_);
    withBackground_ = new QRadioButton(tr("Blend each layer with Background Layer"), this);
    withBackground_->setObjectName("BlendWithBackground");
    keep_ = new QCheckBox(tr("Keep Background Layer as frame"), this);
    keep_->setObjectName("KeepBackground");
    withComposite_ = new QRadioButton(tr("Blend each layer with Composite Image"), this);
    withComposite_->setObjectName("BlendWithComposite");
    auto* blend = new QButtonGroup(this);
    blend->addButton(withBackground_);
    blend->addButton(withComposite_);

    using Mode = PsdLayerChoice::Mode;
    composite_->setChecked(preset.mode == Mode::Composite);
    layers_->setChecked(preset.mode != Mode::Composite);
    withComposite_->setChecked(preset.mode == Mode::BlendWithComposite);
    withBackground_->setChecked(preset.mode != Mode::BlendWithComposite);
    keep_->setChecked(preset.keepBackground);
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(layers_), static_cast<QAbstractButton*>(withBackground_),
                               static_cast<QAbstractButton*>(withComposite_)})
        connect(b, &QAbstractButton::toggled, this, &PsdLayersDialog::UpdateEnabled);

    auto* buttons = OkCancelButtons(this);

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(text);
    lay->addWidget(composite_);
    lay->addWidget(layers_);
    auto* sub = new QVBoxLayout;
    sub->setContentsMargins(24, 0, 0, 0);
    sub->addWidget(withBackground_);
    auto* keepRow = new QVBoxLayout;
    keepRow->setContentsMargins(24, 0, 0, 0);
    keepRow->addWidget(keep_);
    sub->addLayout(keepRow);
    sub->addWidget(withComposite_);
    lay->addLayout(sub);
    lay->addWidget(buttons);
    setMinimumWidth(420);
    UpdateEnabled();
}

// The blend choices belong to the layers choice; keeping the background
// belongs to blending with it.
void PsdLayersDialog::UpdateEnabled() {
    const bool layers = layers_->isChecked();
    withBackground_->setEnabled(layers);
    withComposite_->setEnabled(layers);
    keep_->setEnabled(layers && withBackground_->isChecked());
}

PsdLayerChoice PsdLayersDialog::Choice() const {
    PsdLayerChoice c;
    if (layers_->isChecked())
        c.mode = withComposite_->isChecked() ? PsdLayerChoice::Mode::BlendWithComposite
                                             : PsdLayerChoice::Mode::BlendWithBackground;
    c.keepBackground = keep_->isChecked();
    return c;
}

std::optional<PsdLayerChoice> AskPsdLayersDialog(QWidget* parent, const PsdLayerChoice& preset) {
    PsdLayersDialog dlg(preset, parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.Choice();
}

}  // namespace cinemill
