#include "cinemill/ui/optimize_animation_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cinemill/app/number_text.h"
#include "cinemill/app/operation_dialogs.h"
#include "cinemill/app/optimize_dialog.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/tell.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/optimize.h"

namespace cinemill {

namespace ofl = optimize_flags;

OptimizeAnimationDialog::OptimizeAnimationDialog(Engine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine), doc_(*engine.Doc()), progress_(engine.Jobs(), job::kOptimizer) {
    setObjectName("OptimizeDialog");
    setWindowTitle(Tr(StringId::DlgOptimizeCaption));
    for (const Frame* f : doc_.Frames()) hasLocal_ = hasLocal_ || f->localPalette;
    docSize_ = engine_.FileSize();

    auto* intro = new QLabel(Tr(StringId::DlgOptimizeIntro), this);
    intro->setWordWrap(true);

    auto box = [this](const char* name, StringId text) {
        auto* b = new QCheckBox(Tr(text), this);
        b->setObjectName(name);
        return b;
    };
    auto radio = [this](const char* name, StringId text) {
        auto* b = new QRadioButton(Tr(text), this);
        b->setObjectName(name);
        return b;
    };
    removeLocal_ = box("1124", StringId::DlgRemoveLocalPalettes);
    mapGlobal_ = radio("1074", StringId::DlgMapToGlobal);
    meta_ = radio("1075", StringId::DlgMetaPalette);
    cleanOnly_ = radio("1073", StringId::DlgCleanMergeOnly);
    shrinkPalettes_ = box("1083", StringId::DlgShrinkPalettes);
    shrinkFrames_ = box("1121", StringId::DlgShrinkFrames);
    transparency_ = box("1122", StringId::DlgDuplicateTransparency);
    removeFrames_ = box("1125", StringId::DlgRemoveFrames);
    auto* group = new QButtonGroup(this);
    for (QRadioButton* r : {cleanOnly_, mapGlobal_, meta_}) group->addButton(r);

    auto* palettes = new QGroupBox(Tr(StringId::DlgPalettesGroup), this);
    auto* pl = new QVBoxLayout(palettes);
    pl->addWidget(removeLocal_);
    auto* radios = new QVBoxLayout;
    radios->setContentsMargins(24, 0, 0, 0);
    for (QRadioButton* r : {cleanOnly_, mapGlobal_, meta_}) radios->addWidget(r);
    pl->addLayout(radios);
    pl->addWidget(shrinkPalettes_);
    auto* frames = new QGroupBox(Tr(StringId::DlgFrameReductionGroup), this);
    auto* fl = new QVBoxLayout(frames);
    fl->addWidget(shrinkFrames_);
    auto* dependent = new QVBoxLayout;
    dependent->setContentsMargins(24, 0, 0, 0);
    dependent->addWidget(transparency_);
    dependent->addWidget(removeFrames_);
    fl->addLayout(dependent);
    fl->addStretch(1);

    // Lossy compression after the other techniques, its level beside it.
    lossy_ = box("lossy", StringId::DlgLossyCompression);
    lossyLevel_ = new QSpinBox(this);
    lossyLevel_->setObjectName("lossyLevel");
    lossyLevel_->setRange(0, 200);
    lossyLevelLabel_ = new QLabel(Tr(StringId::DlgLossyLevel), this);
    lossyLevelLabel_->setBuddy(lossyLevel_);
    auto* lossyRow = new QHBoxLayout;
    lossyRow->addWidget(lossy_);
    lossyRow->addSpacing(12);
    lossyRow->addWidget(lossyLevelLabel_);
    lossyRow->addWidget(lossyLevel_);
    lossyRow->addStretch(1);

    auto value = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setMinimumWidth(120);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    currentSize_ = value("currentSize");
    optimizedSize_ = value("optimizedSize");
    savings_ = value("savings");
    percent_ = value("percent");
    auto* sizes = new QFormLayout;
    sizes->addRow(Tr(StringId::DlgCurrentSize), currentSize_);
    sizes->addRow(Tr(StringId::DlgOptimizedSize), optimizedSize_);
    sizes->addRow(Tr(StringId::DlgSavings), savings_);
    sizes->addRow(QString(), percent_);

    bar_ = new QProgressBar(this);
    bar_->setObjectName("progress");
    bar_->setTextVisible(false);
    status_ = new QLabel(this);
    status_->setObjectName("status");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* groups = new QHBoxLayout;
    groups->addWidget(palettes, 1);
    groups->addWidget(frames, 1);
    auto* lower = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addLayout(sizes);
    left->addStretch(1);
    lower->addLayout(left);
    lower->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addStretch(1);
    right->addWidget(buttons);
    lower->addLayout(right);
    auto* top = new QVBoxLayout(this);
    top->addWidget(intro);
    top->addLayout(groups);
    top->addLayout(lossyRow);
    top->addLayout(lower);
    top->addWidget(bar_);
    top->addWidget(status_);

    // The boxes from slot 5.
    const uint32_t f = engine_.Prefs().Get(PreferenceBlock::kOptimizer);
    shrinkFrames_->setChecked(f & ofl::kShrinkFrames);
    transparency_->setChecked(f & ofl::kTransparency);
    removeLocal_->setChecked(f & ofl::kRemoveLocalPalettes);
    shrinkPalettes_->setChecked(f & ofl::kShrinkPalettes);
    removeFrames_->setChecked(f & ofl::kRemoveFrames);
    (f & ofl::kMapToGlobal ? mapGlobal_ : f & ofl::kMetaPalette ? meta_ : cleanOnly_)->setChecked(true);
    lossy_->setChecked(f & ofl::kLossy);
    lossyLevel_->setValue(LossyLevelShown(f));
    UpdateEnabled();
    ShowSizes(docSize_, -1);

    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             shrinkFrames_, transparency_, removeLocal_, mapGlobal_, meta_, cleanOnly_, shrinkPalettes_, removeFrames_,
             lossy_})
        connect(b, &QAbstractButton::clicked, this, [this, b] { Changed(b); });
    connect(lossyLevel_, &QSpinBox::valueChanged, this, [this] { Changed(nullptr); });

    progressTimer_.setInterval(50);
    connect(&progressTimer_, &QTimer::timeout, this, [this] { progress_.ShowIn(bar_, status_); });
    progressTimer_.start();
    startWhenIdle_.setInterval(5);
    connect(&startWhenIdle_, &QTimer::timeout, this, [this] {
        if (engine_.Jobs().IsRunning(job::kOptimizer)) return;
        startWhenIdle_.stop();
        StartRun();
    });
}

OptimizeAnimationDialog::~OptimizeAnimationDialog() { StopWorker(); }

void OptimizeAnimationDialog::StopWorker() {
    startWhenIdle_.stop();
    engine_.Jobs().StopAndWait(job::kOptimizer);
}

uint32_t OptimizeAnimationDialog::ControlFlags() const {
    uint32_t f = 0;
    if (shrinkFrames_->isChecked()) f |= ofl::kShrinkFrames;
    if (transparency_->isChecked()) f |= ofl::kTransparency;
    if (removeLocal_->isChecked()) f |= ofl::kRemoveLocalPalettes;
    if (mapGlobal_->isChecked()) f |= ofl::kMapToGlobal;
    if (meta_->isChecked()) f |= ofl::kMetaPalette;
    if (shrinkPalettes_->isChecked()) f |= ofl::kShrinkPalettes;
    if (removeFrames_->isChecked()) f |= ofl::kRemoveFrames;
    if (lossy_->isChecked()) f |= ofl::kLossy;
    return ofl::WithLossyLevel(f, lossyLevel_->value());
}

uint32_t OptimizeAnimationDialog::EffectiveFlags() const { return EffectiveOptimizeFlags(ControlFlags(), hasLocal_); }

void OptimizeAnimationDialog::UpdateEnabled() {
    const OptimizeControlState s = OptimizeControls(ControlFlags(), hasLocal_);
    removeLocal_->setEnabled(s.removeLocalPalettes);
    for (QRadioButton* r : {mapGlobal_, meta_, cleanOnly_}) r->setEnabled(s.paletteRadios);
    transparency_->setEnabled(s.transparency);
    removeFrames_->setEnabled(s.removeFrames);
    lossyLevel_->setEnabled(s.lossyLevel);
    lossyLevelLabel_->setEnabled(s.lossyLevel);
}

void OptimizeAnimationDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (started_) return;
    started_ = true;
    Run(EffectiveFlags());
}

void OptimizeAnimationDialog::Changed(QAbstractButton* source) {
    UpdateEnabled();
    const uint32_t flags = EffectiveFlags();
    if (flags == runFlags_ && (copy_ || running_)) return;
    if (source == removeFrames_ && copy_ && !running_) {
        // Only a copy that the option would change needs a new run.
        const bool ticked = removeFrames_->isChecked();
        progress_.Reset(ticked ? StringId::CheckingRemovable : StringId::CheckingRemoved);
        if (!RemoveFramesToggleNeedsRun(ticked, copy_.get(), doc_.FrameCount())) {
            runFlags_ = flags;
            progress_.Reset(StringId{});
            return;
        }
    }
    Run(flags);
}

// Starts a run: the running one is asked to stop and waited for (it looks
// at the request between frames), then a fresh worker copies the document,
// optimizes the copy and counts its size. The old copy is freed there.
void OptimizeAnimationDialog::Run(uint32_t flags) {
    ++generation_;
    running_ = true;
    runFlags_ = flags;
    startFlags_ = flags;
    if (copy_) retired_ = std::shared_ptr<Animation>(copy_.release());
    ShowSizes(docSize_, -1);
    progress_.Reset(StringId::CopyingAnimation);
    // The running experiment is asked to stop; it looks at the request
    // between frames and stages, and the new one starts once it has ended.
    if (engine_.Jobs().IsRunning(job::kOptimizer)) {
        engine_.Jobs().RequestAbort(job::kOptimizer, true);
        startWhenIdle_.start();
        return;
    }
    StartRun();
}

void OptimizeAnimationDialog::StartRun() {
    const int gen = generation_;
    const uint32_t flags = startFlags_;
    // The previous copy is freed on the worker.
    auto old = std::move(retired_);
    JobControl& jobs = engine_.Jobs();
    const int64_t known = docSize_;
    jobs.Start(job::kOptimizer, [this, &jobs, gen, flags, old, known]() mutable {
        old.reset();
        if (!WaitForEngineTasks(jobs, job::kOptimizer)) return;
        const int64_t docSize = known >= 0 ? known : engine_.FileSize();
        progress_.SetText(StringId::CopyingAnimation);
        auto copy = CopyAnimation(doc_, progress_);
        if (jobs.AbortRequested(job::kOptimizer)) return;
        Result r = Result::Failed;
        int64_t copySize = -1;
        if (copy) r = Optimize(*copy, flags, workerHost_, progress_, engine_.Prefs());
        if (jobs.AbortRequested(job::kOptimizer)) return;
        if (r == Result::Done) {
            progress_.SetText(StringId::OptimizeCalculatingSize);
            copySize = EncodedSize(*copy, true, progress_, engine_.Prefs());
            if (jobs.AbortRequested(job::kOptimizer)) return;
        }
        auto holder = std::make_shared<std::unique_ptr<Animation>>(std::move(copy));
        QMetaObject::invokeMethod(
            this, [this, gen, holder, r, docSize, copySize, flags] { OnRun(gen, holder, r, docSize, copySize, flags); },
            Qt::QueuedConnection);
    });
}

void OptimizeAnimationDialog::OnRun(int gen, std::shared_ptr<std::unique_ptr<Animation>> holder, Result r,
                                    int64_t doc_size, int64_t copy_size, uint32_t flags) {
    if (gen != generation_) return;
    running_ = false;
    for (const std::string& m : workerHost_.Take()) engine_.Host().Error(m);
    progress_.Reset(StringId{});
    progress_.ShowIn(bar_, status_);
    if (doc_size >= 0) docSize_ = doc_size;
    if (!*holder) {
        // No room for experiments: OK optimizes the document itself.
        Tell(engine_.Host(), StringId::OptimizeNoExperiment);
        ShowSizes(docSize_, -1);
        emit Settled();
        return;
    }
    if (r == Result::Done) {
        copy_ = std::move(*holder);
        runFlags_ = flags;
    }
    ShowSizes(docSize_, copy_size);
    emit Settled();
}

void OptimizeAnimationDialog::ShowSizes(int64_t doc_size, int64_t copy_size) {
    currentSize_->setText(doc_size >= 0 ? QString::fromStdString(FormatString(StringId::BytesFormat, GroupedNumber(doc_size)))
                                        : QString());
    if (copy_size < 0) {
        optimizedSize_->clear();
        savings_->clear();
        percent_->clear();
        return;
    }
    const SavingsTexts t = MakeSavingsTexts(doc_size, copy_size);
    optimizedSize_->setText(QString::fromStdString(t.optimizedSize));
    savings_->setText(QString::fromStdString(t.savings));
    percent_->setText(QString::fromStdString(t.percent));
}

void OptimizeAnimationDialog::accept() {
    // A running experiment is let finish: its copy is what OK keeps.
    if (running_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (startWhenIdle_.isActive()) {
            // The stopped run ends first, then the wanted one runs to its end.
            engine_.Jobs().Wait(job::kOptimizer);
            startWhenIdle_.stop();
            StartRun();
        }
        engine_.Jobs().Wait(job::kOptimizer);
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
        QApplication::restoreOverrideCursor();
    }
    const uint32_t all = ControlFlags();
    if (copy_ && runFlags_ == EffectiveFlags()) {
        outcome_ = engine_.AcceptOptimized(std::move(copy_), all);
    } else {
        engine_.Prefs().Set(PreferenceBlock::kOptimizer, all);
        outcome_ = engine_.Optimize(all);
    }
    QDialog::accept();
}

void OptimizeAnimationDialog::reject() {
    StopWorker();
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    copy_.reset();
    outcome_ = {Result::Stopped, 0};
    QDialog::reject();
}

CommandResult RunOptimize(CommandContext& ctx) {
    Engine& e = ctx.engine;
    if (!e.Doc() || e.Doc()->FrameCount() < 1) {
        e.Host().Beep();
        return {Result::Failed, 0};
    }
    OptimizeAnimationDialog d(e, ctx.parent);
    d.exec();
    return d.Outcome();
}

namespace {
[[maybe_unused]] const bool registered = RegisterCommandHandler(CommandId::Optimize, RunOptimize);
}  // namespace

}  // namespace cinemill
