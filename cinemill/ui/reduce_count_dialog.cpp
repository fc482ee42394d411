#include "cinemill/ui/reduce_count_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cinemill/app/geometry_dialogs.h"
#include "cinemill/ui/dlgops_common.h"

namespace cinemill {

namespace {
// The interval field: any whole number may be typed (OK then refuses what
// lies outside 2..frame count), while the spin arrows keep to that range.
class IntervalSpin : public QSpinBox {
public:
    IntervalSpin(int top, QWidget* parent) : QSpinBox(parent), top_(std::max(2, top)) { setRange(-999999, 999999); }
    void stepBy(int steps) override { setValue(std::clamp(value() + steps, 2, top_)); }

protected:
    StepEnabled stepEnabled() const override {
        StepEnabled e = StepNone;
        if (value() > 2) e |= StepDownEnabled;
        if (value() < top_) e |= StepUpEnabled;
        return e;
    }

private:
    int top_;
};
}  // namespace

ReduceCountDialog::ReduceCountDialog(Engine& engine, QWidget* parent) : QDialog(parent), engine_(engine) {
    setObjectName("ReduceCountDialog");
    setWindowTitle(Tr(StringId::DlgReduceCountCaption));
    const int count = engine.Doc()->FrameCount();

    auto* intro = new QLabel(Tr(StringId::DlgReduceCountIntro), this);
    intro->setWordWrap(true);
    interval_ = new IntervalSpin(count, this);
    interval_->setObjectName("interval");
    interval_->setValue(2);
    auto* every = new QHBoxLayout;
    auto* lead = new QLabel(Tr(StringId::DlgDeleteOneOfEvery), this);
    lead->setBuddy(interval_);
    every->addWidget(lead);
    every->addWidget(interval_);
    every->addWidget(new QLabel(Tr(StringId::DlgFramesSuffix), this));
    every->addStretch(1);

    auto* figures = new QGridLayout;
    auto* current = new QLabel(QString::number(count), this);
    current->setObjectName("currentCount");
    after_ = new QLabel(this);
    after_->setObjectName("countAfter");
    figures->addWidget(new QLabel(Tr(StringId::DlgCurrentFrameCount), this), 0, 0);
    figures->addWidget(current, 0, 1);
    figures->addWidget(new QLabel(Tr(StringId::DlgFramesAfterReduction), this), 1, 0);
    figures->addWidget(after_, 1, 1);
    figures->setColumnStretch(2, 1);

    auto* buttons = OkCancelButtons(this, "ok", "cancel");

    auto* top = new QVBoxLayout(this);
    top->addWidget(intro);
    top->addLayout(every);
    top->addLayout(figures);
    top->addWidget(buttons);

    // The figure follows every keystroke, "?" while the text is no interval.
    connect(interval_->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, &ReduceCountDialog::UpdateAfter);
    connect(interval_, &QSpinBox::valueChanged, this, &ReduceCountDialog::UpdateAfter);
    UpdateAfter();
}

int ReduceCountDialog::Typed(bool* ok) const {
    return interval_->findChild<QLineEdit*>()->text().trimmed().toInt(ok);
}

void ReduceCountDialog::UpdateAfter() {
    bool ok = false;
    const int n = Typed(&ok);
    after_->setText(QString::fromStdString(FramesAfterReductionText(ok ? n : 0, engine_.Doc()->FrameCount())));
}

void ReduceCountDialog::accept() {
    bool ok = false;
    const int n = Typed(&ok);
    outcome_ = engine_.ReduceFrameCount(ok ? n : 0);
    if (!outcome_.Ok()) {
        // The engine told the user; the field is edited again.
        interval_->setFocus();
        interval_->selectAll();
        return;
    }
    QDialog::accept();
}

CommandResult RunReduceCount(CommandContext& ctx) {
    Engine& e = ctx.engine;
    if (!e.Doc() || e.Doc()->FrameCount() < 1) return Refuse(e);
    ReduceCountDialog d(e, ctx.parent);
    return ShowModal(d);
}

namespace {
[[maybe_unused]] const bool registered = RegisterCommandHandler(CommandId::ReduceCount, RunReduceCount);
}  // namespace

}  // namespace cinemill
