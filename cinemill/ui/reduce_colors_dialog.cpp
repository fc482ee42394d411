#include "cinemill/ui/reduce_colors_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "cinemill/app/number_text.h"
#include "cinemill/app/reduce_session.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/tell.h"
#include "cinemill/gif/gif_writer.h"
#include "cinemill/imaging/color_reduce.h"

namespace cinemill {

namespace {

QToolButton* PlayerButton(QWidget* parent, const char* name, const char* icon, StringId tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(DlgIcon(icon));
    b->setToolTip(Tr(tip));
    b->setAutoRaise(true);
    return b;
}

QString ColorsText(int n) { return QString::fromStdString(ReplaceToken(std::string(LoadString(StringId::ColorsFormat)), "%d", std::to_string(n))); }

QString SizeText(int64_t size) {
    if (size < 0) return {};
    return QString::fromStdString(FormatString(StringId::FileSizeFormat, GroupedNumber(size)));
}

// Zoom steps of the two panes; 0 fits the pane.
double NextZoom(double z, bool in) {
    static const double kSteps[] = {0.25, 0.5, 1, 2, 4, 8};
    if (z <= 0) z = 1;
    if (in) {
        for (double s : kSteps)
            if (s > z) return s;
        return 8;
    }
    for (int i = 5; i >= 0; --i)
        if (kSteps[i] < z) return kSteps[i];
    return 0.25;
}

}  // namespace

ReduceColorsDialog::ReduceColorsDialog(Engine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine), doc_(*engine.Doc()), progress_(engine.Jobs(), job::kReduce) {
    setObjectName("ReduceColorsDialog");
    setWindowTitle(Tr(StringId::DlgReduceColorsCaption));
    const int largest = reduce_dialog::LargestEntryCount(doc_);
    docSize_ = engine_.FileSize();

    auto* panes = new QGridLayout;
    auto caption = [this](StringId id) {
        auto* l = new QLabel(Tr(id), this);
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
        return l;
    };
    panes->addWidget(caption(StringId::FullPalette), 0, 0);
    panes->addWidget(caption(StringId::ReducedPalette), 0, 1);
    auto* beforeColors = new QLabel(ColorsText(largest), this);
    beforeColors->setObjectName("fullColors");
    afterColors_ = new QLabel(this);
    afterColors_->setObjectName("reducedColors");
    panes->addWidget(beforeColors, 1, 0);
    panes->addWidget(afterColors_, 1, 1);
    beforePane_ = new PicturePane(this);
    beforePane_->setObjectName("fullPane");
    afterPane_ = new PicturePane(this);
    afterPane_->setObjectName("reducedPane");
    panes->addWidget(beforePane_, 2, 0);
    panes->addWidget(afterPane_, 2, 1);
    beforeSize_ = new QLabel(SizeText(docSize_), this);
    beforeSize_->setObjectName("fullSize");
    afterSize_ = new QLabel(this);
    afterSize_->setObjectName("reducedSize");
    savings_ = new QLabel(this);
    savings_->setObjectName("savings");
    panes->addWidget(beforeSize_, 3, 0);
    panes->addWidget(afterSize_, 3, 1);
    panes->addWidget(savings_, 4, 1);
    panes->setRowStretch(2, 1);

    // The player bar moves both panes together.
    auto* bar = new QHBoxLayout;
    play_ = PlayerButton(this, "play", "play", StringId::DlgPlay);
    auto* first = PlayerButton(this, "first", "first", StringId::DlgFirstFrame);
    auto* prev = PlayerButton(this, "previous", "previous", StringId::DlgPreviousFrame);
    auto* next = PlayerButton(this, "next", "next", StringId::DlgNextFrame);
    auto* last = PlayerButton(this, "last", "last", StringId::DlgLastFrame);
    auto* zin = PlayerButton(this, "zoomIn", "zoom_in", StringId::DlgZoomIn);
    auto* zout = PlayerButton(this, "zoomOut", "zoom_out", StringId::DlgZoomOut);
    auto* actual = PlayerButton(this, "actualSize", "actual_size", StringId::DlgActualSize);
    for (QToolButton* b : {play_, first, prev, next, last, zin, zout, actual}) bar->addWidget(b);
    frameNumber_ = new QLabel(this);
    frameNumber_->setObjectName("frameNumber");
    bar->addWidget(frameNumber_);
    trackbar_ = new QSlider(Qt::Horizontal, this);
    trackbar_->setObjectName("trackbar");
    trackbar_->setRange(1, std::max(1, doc_.FrameCount()));
    bar->addWidget(trackbar_, 1);

    auto* choice = new QHBoxLayout;
    auto* countLabel = new QLabel(Tr(StringId::DlgReduceColorCount), this);
    count_ = new QComboBox(this);
    count_->setObjectName("colorCount");
    count_->setEditable(true);
    count_->setInsertPolicy(QComboBox::NoInsert);
    // A typed "12" stays 12 rather than being completed to 128.
    count_->setCompleter(nullptr);
    for (int n : {256, 128, 64, 32, 16, 8}) count_->addItem(QString::number(n));
    const QString firstCount = QString::number(reduce_dialog::FirstColorCount(largest));
    count_->setCurrentIndex(count_->findText(firstCount));
    count_->setEditText(firstCount);
    countLabel->setBuddy(count_);
    dither_ = new QCheckBox(Tr(StringId::DlgDitherToPalette), this);
    dither_->setObjectName("dither");
    dither_->setChecked(PreferenceBlock::ReductionDither(engine_.Prefs().Get(PreferenceBlock::kColorReduction)));
    choice->addWidget(countLabel);
    choice->addWidget(count_);
    choice->addSpacing(16);
    choice->addWidget(dither_);
    choice->addStretch(1);

    auto* progressRow = new QHBoxLayout;
    bar_ = new QProgressBar(this);
    bar_->setObjectName("progress");
    bar_->setTextVisible(false);
    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setMinimumWidth(200);
    progressRow->addWidget(bar_, 1);
    progressRow->addWidget(status_, 1);

    auto* buttons = OkCancelButtons(this, "ok", "cancel");

    auto* top = new QVBoxLayout(this);
    top->addLayout(panes, 1);
    top->addLayout(bar);
    top->addLayout(choice);
    top->addLayout(progressRow);
    top->addWidget(buttons);
    resize(720, 460);

    // Picking applies at once; typing applies 500 ms after the last key.
    typing_.setSingleShot(true);
    typing_.setInterval(500);
    connect(&typing_, &QTimer::timeout, this, &ReduceColorsDialog::Apply);
    connect(count_->lineEdit(), &QLineEdit::textEdited, this, [this] { typing_.start(); });
    connect(count_, &QComboBox::activated, this, [this] {
        typing_.stop();
        Apply();
    });
    connect(dither_, &QCheckBox::toggled, this, &ReduceColorsDialog::Apply);

    playTimer_.setSingleShot(true);
    connect(&playTimer_, &QTimer::timeout, this, [this] {
        const auto next = playback_.Tick();
        ShowFrame();
        if (next) playTimer_.start(*next);
    });
    connect(play_, &QToolButton::clicked, this, [this] {
        if (playback_.Playing()) {
            playback_.Stop();
            playTimer_.stop();
        } else {
            playTimer_.start(playback_.Play());
        }
        ShowFrame();
    });
    auto step = [this](void (Playback::*f)()) {
        return [this, f] {
            playTimer_.stop();
            (playback_.*f)();
            ShowFrame();
        };
    };
    connect(first, &QToolButton::clicked, this, step(&Playback::First));
    connect(prev, &QToolButton::clicked, this, step(&Playback::Previous));
    connect(next, &QToolButton::clicked, this, step(&Playback::Next));
    connect(last, &QToolButton::clicked, this, step(&Playback::Last));
    connect(trackbar_, &QSlider::valueChanged, this, [this](int v) {
        if (v == playback_.Current()) return;
        playback_.Trackbar(Playback::Track::Position, v);
        ShowFrame();
    });
    auto zoom = [this](int how) {
        return [this, how] {
            const double z = how == 0 ? 1.0 : NextZoom(beforePane_->Zoom(), how > 0);
            beforePane_->SetZoom(z);
            afterPane_->SetZoom(z);
        };
    };
    connect(zin, &QToolButton::clicked, this, zoom(1));
    connect(zout, &QToolButton::clicked, this, zoom(-1));
    connect(actual, &QToolButton::clicked, this, zoom(0));

    progressTimer_.setInterval(50);
    connect(&progressTimer_, &QTimer::timeout, this, [this] { progress_.ShowIn(bar_, status_); });
    progressTimer_.start();

    playback_.SetAnimation(&doc_);
    after_.SetAnimation(nullptr);
    playback_.Show(1, true);
    ShowFrame();
}

ReduceColorsDialog::~ReduceColorsDialog() { StopWorker(); }

void ReduceColorsDialog::StopWorker() { engine_.Jobs().StopAndWait(job::kReduce); }

bool ReduceColorsDialog::Busy() const { return pendingColors_ != 0; }

void ReduceColorsDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (started_) return;
    started_ = true;
    Apply();
}

int ReduceColorsDialog::ChosenColors() {
    const reduce_dialog::TypedCount t = reduce_dialog::ParseColorCount(count_->currentText().toStdString());
    if (t.replace_text) count_->setEditText(QString::number(t.value));
    return t.value;
}

void ReduceColorsDialog::ShowFrame() {
    beforePane_->SetPicture(ToQImage(before_.Picture()));
    afterPane_->SetPicture(copy_ ? ToQImage(after_.Picture()) : QImage());
    const int n = playback_.Current();
    {
        const QSignalBlocker block(trackbar_);
        trackbar_->setValue(n);
    }
    frameNumber_->setText(QString::fromStdString(
        FormatString(StringId::DlgFrameNumber, std::to_string(doc_.FrameCount()), n)));
    play_->setIcon(DlgIcon(playback_.Playing() ? "stop" : "play"));
    play_->setToolTip(Tr(playback_.Playing() ? StringId::DlgStop : StringId::DlgPlay));
}

void ReduceColorsDialog::ShowHostMessages() {
    for (const std::string& m : workerHost_.Take()) engine_.Host().Error(m);
}

// One apply: the running worker is stopped, then a new one copies the
// document, reduces the copy and hands it over; the window only starts it.
void ReduceColorsDialog::Apply() {
    typing_.stop();
    playTimer_.stop();
    playback_.Stop();
    const int colors = ChosenColors();
    const bool dither = dither_->isChecked();
    if (Busy() ? (colors == pendingColors_ && dither == pendingDither_)
               : (copy_ && colors == shownColors_ && dither == shownDither_))
        return;
    StopWorker();
    const int gen = ++generation_;
    pendingColors_ = colors;
    pendingDither_ = dither;
    afterSize_->clear();
    savings_->clear();
    progress_.Reset(StringId::DuplicatingAnimation);
    const int64_t known = docSize_;
    JobControl& jobs = engine_.Jobs();
    jobs.Start(job::kReduce, [this, &jobs, gen, colors, dither, known] {
        if (!WaitForEngineTasks(jobs, job::kReduce)) return;
        int64_t docSize = known >= 0 ? known : engine_.FileSize();
        progress_.SetText(StringId::DuplicatingAnimation);
        auto fresh = CopyAnimation(doc_, progress_);
        if (jobs.AbortRequested(job::kReduce)) return;
        if (docSize < 0 && fresh) docSize = EncodedSize(*fresh, true, progress_, engine_.Prefs());
        Result r = Result::Failed;
        if (fresh) r = ReduceAnimation(*fresh, colors, dither, progress_, workerHost_);
        if (jobs.AbortRequested(job::kReduce)) return;
        auto holder = std::make_shared<std::unique_ptr<Animation>>(std::move(fresh));
        QMetaObject::invokeMethod(
            this, [this, gen, holder, r, docSize, colors, dither] { OnReduced(gen, holder, r, docSize, colors, dither); },
            Qt::QueuedConnection);
    });
}

void ReduceColorsDialog::OnReduced(int gen, std::shared_ptr<std::unique_ptr<Animation>> holder, Result r,
                                   int64_t doc_size, int colors, bool dither) {
    if (gen != generation_) return;
    ShowHostMessages();
    if (!*holder) {
        // The copy could not be made: the dialog closes as cancelled.
        pendingColors_ = 0;
        Tell(engine_.Host(), StringId::ReduceCopyNoMemory);
        reject();
        return;
    }
    if (r != Result::Done) {
        pendingColors_ = 0;
        progress_.Reset(StringId{});
        emit Settled();
        return;
    }
    docSize_ = doc_size;
    beforeSize_->setText(SizeText(docSize_));
    // The old copy is freed on the worker, not here.
    auto old = std::shared_ptr<Animation>(copy_.release());
    copy_ = std::move(*holder);
    shownColors_ = colors;
    shownDither_ = dither;
    afterColors_->setText(ColorsText(colors));
    after_.SetAnimation(copy_.get());
    after_.Compose(playback_.Current(), true);
    ShowFrame();
    progress_.Reset(StringId::CalculatingFileSize);
    Animation* c = copy_.get();
    JobControl& jobs = engine_.Jobs();
    jobs.Start(job::kReduce, [this, &jobs, gen, c, old]() mutable {
        old.reset();
        progress_.SetText(StringId::CalculatingFileSize);
        const int64_t size = EncodedSize(*c, true, progress_, engine_.Prefs());
        if (jobs.AbortRequested(job::kReduce) || size < 0) return;
        QMetaObject::invokeMethod(this, [this, gen, size] { OnSized(gen, size); }, Qt::QueuedConnection);
    });
}

void ReduceColorsDialog::OnSized(int gen, int64_t size) {
    if (gen != generation_) return;
    pendingColors_ = 0;
    afterSize_->setText(SizeText(size));
    savings_->setText(QString::fromStdString(reduce_dialog::SavingsText(docSize_, size)));
    progress_.Reset(StringId{});
    progress_.ShowIn(bar_, status_);
    emit Settled();
}

void ReduceColorsDialog::accept() {
    typing_.stop();
    playTimer_.stop();
    playback_.Stop();
    // The size count is not needed any more: stopped, not waited for.
    StopWorker();
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    const int colors = ChosenColors();
    const bool dither = dither_->isChecked();
    after_.SetAnimation(nullptr);
    if (copy_ && colors == shownColors_ && dither == shownDither_) {
        outcome_ = engine_.AcceptReduced(std::move(copy_), colors, dither);
    } else {
        // The preview is not (yet) of these values: the engine reduces.
        engine_.Prefs().Set(PreferenceBlock::kColorReduction, PreferenceBlock::EncodeReduction(colors, dither));
        outcome_ = engine_.Reduce(colors, dither);
    }
    QDialog::accept();
}

void ReduceColorsDialog::reject() {
    typing_.stop();
    playTimer_.stop();
    playback_.Stop();
    StopWorker();
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    after_.SetAnimation(nullptr);
    copy_.reset();
    outcome_ = {Result::Stopped, 0};
    QDialog::reject();
}

CommandResult RunReduceColors(CommandContext& ctx) {
    Engine& e = ctx.engine;
    if (!e.Doc() || e.Doc()->FrameCount() < 1) return Refuse(e);
    if (!reduce_dialog::Reducible(reduce_dialog::LargestEntryCount(*e.Doc()))) {
        e.Host().Message(std::string(LoadString(StringId::NonReducible)),
                         std::string(LoadString(StringId::NonReducibleCaption)));
        return {Result::Stopped, 0};
    }
    ReduceColorsDialog d(e, ctx.parent);
    return ShowModal(d);
}

namespace {
[[maybe_unused]] const bool registered = RegisterCommandHandler(CommandId::ReduceColors, RunReduceColors);
}  // namespace

}  // namespace cinemill
