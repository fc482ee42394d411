#include "cinemill/ui/preview_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSlider>
#include <QSvgRenderer>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "cinemill/app/engine.h"
#include "cinemill/app/preview_prefs.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/strings.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dialog_parts.h"
#include "cinemill/ui/preview_player.h"

namespace cinemill {

namespace {

QPointer<PreviewDialog> g_current;
std::function<void()> g_closedHandler;

// Tool bar artwork: 16 x 16 drawings, rendered for each scale so that they
// stay crisp.
QIcon SvgIcon(const char* body) {
    const QByteArray svg = QByteArray(
                               "<svg xmlns='http://www.w3.org/2000/svg' width='16' height='16' "
                               "viewBox='0 0 16 16'>") +
                           body + "</svg>";
    QSvgRenderer renderer(svg);
    QIcon icon;
    for (int scale : {1, 2, 3}) {
        QPixmap pm(16 * scale, 16 * scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        renderer.render(&p);
        p.end();
        pm.setDevicePixelRatio(scale);
        icon.addPixmap(pm);
    }
    return icon;
}

constexpr const char* kPlaySvg = "<path d='M4 2.5v11l9-5.5z' fill='#2e8b3a' stroke='#1d5a25' stroke-width='1'/>";
constexpr const char* kStopSvg = "<rect x='3' y='3' width='10' height='10' fill='#c0392b' stroke='#7d241b'/>";
constexpr const char* kFirstSvg =
    "<rect x='2.5' y='3' width='2' height='10' fill='#34495e'/><path d='M13 3v10L5.5 8z' fill='#34495e'/>";
constexpr const char* kPreviousSvg = "<path d='M11.5 3v10L4 8z' fill='#34495e'/>";
constexpr const char* kNextSvg = "<path d='M4.5 3v10L12 8z' fill='#34495e'/>";
constexpr const char* kLastSvg =
    "<path d='M3 3v10l7.5-5z' fill='#34495e'/><rect x='11.5' y='3' width='2' height='10' fill='#34495e'/>";
constexpr const char* kZoomInSvg =
    "<circle cx='6.5' cy='6.5' r='4.5' fill='#fff' stroke='#34495e' stroke-width='1.5'/>"
    "<path d='M10 10l4.5 4.5' stroke='#34495e' stroke-width='2'/>"
    "<path d='M4 6.5h5M6.5 4v5' stroke='#34495e' stroke-width='1.3'/>";
constexpr const char* kZoomOutSvg =
    "<circle cx='6.5' cy='6.5' r='4.5' fill='#fff' stroke='#34495e' stroke-width='1.5'/>"
    "<path d='M10 10l4.5 4.5' stroke='#34495e' stroke-width='2'/>"
    "<path d='M4 6.5h5' stroke='#34495e' stroke-width='1.3'/>";
constexpr const char* kActualSizeSvg =
    "<rect x='1.5' y='2.5' width='13' height='11' fill='#fff' stroke='#34495e'/>"
    "<text x='8' y='11.5' font-family='sans-serif' font-size='8' font-weight='bold' "
    "text-anchor='middle' fill='#34495e'>1:1</text>";

// The colour button's picture: a swatch of the background in a frame.
QIcon SwatchIcon(const QColor& c) {
    QIcon icon;
    for (int scale : {1, 2, 3}) {
        QPixmap pm(16 * scale, 16 * scale);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.scale(scale, scale);
        p.setPen(QPen(QColor("#34495e"), 1));
        p.setBrush(c);
        p.drawRect(QRectF(2.5, 3.5, 11, 9));
        p.end();
        pm.setDevicePixelRatio(scale);
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace

void SetPreviewClosedHandler(std::function<void()> f) { g_closedHandler = std::move(f); }

void SyncPreview(uint32_t refresh_flags) {
    if (g_current) g_current->Sync(refresh_flags);
}

PreviewDialog* PreviewDialog::Current() { return g_current.data(); }

PreviewDialog::PreviewDialog(Engine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine), anim_(engine.Doc()), playback_({&player_}) {
    setObjectName("PreviewAnimation");
    setWindowTitle(Tr(StringId::PreviewCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    g_current = this;

    const PreferenceBlock& prefs = engine_.Prefs();
    playback_.continuousLoop = prefs.Flag(PreferenceBlock::kFlagContinuousLoop);
    playback_.browserDelays = BrowserDelaysPreferred(prefs);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &PreviewDialog::TimerTick);

    view_ = new PlayerWidget(this);

    bar1_ = new QToolBar(this);
    bar1_->setObjectName("toolbar1");
    bar1_->setIconSize(QSize(16, 16));
    play_ = AddTool(bar1_, "1060", static_cast<int>(StringId::TipPlay), kPlaySvg);
    play_->setCheckable(true);
    stop_ = AddTool(bar1_, "1061", static_cast<int>(StringId::TipStop), kStopSvg);
    connect(play_, &QAction::triggered, this, [this] {
        if (playback_.Playing()) Stop();
        else Play();
    });
    connect(stop_, &QAction::triggered, this, &PreviewDialog::Stop);

    bar2_ = new QToolBar(this);
    bar2_->setObjectName("toolbar2");
    bar2_->setIconSize(QSize(16, 16));
    auto step = [this](void (Playback::*f)()) {
        return [this, f] {
            (playback_.*f)();
            Stop();
            Shown();
        };
    };
    connect(AddTool(bar2_, "1062", static_cast<int>(StringId::TipFirst), kFirstSvg), &QAction::triggered, this,
            step(&Playback::First));
    connect(AddTool(bar2_, "1063", static_cast<int>(StringId::TipPrevious), kPreviousSvg), &QAction::triggered,
            this, step(&Playback::Previous));
    connect(AddTool(bar2_, "1064", static_cast<int>(StringId::TipNext), kNextSvg), &QAction::triggered, this,
            step(&Playback::Next));
    connect(AddTool(bar2_, "1065", static_cast<int>(StringId::TipLast), kLastSvg), &QAction::triggered, this,
            step(&Playback::Last));
    bar2_->addSeparator();
    colorButton_ = new QToolButton(bar2_);
    colorButton_->setObjectName("1066");
    colorButton_->setToolTip(Tr(StringId::TipBackground));
    colorButton_->setAutoRaise(true);
    connect(colorButton_, &QToolButton::clicked, this, &PreviewDialog::ChooseBackground);
    bar2_->addWidget(colorButton_);
    bar2_->addSeparator();
    connect(AddTool(bar2_, "40038", static_cast<int>(StringId::TipZoomIn), kZoomInSvg), &QAction::triggered, this,
            [this] { view_->SetZoomLevel(view_->ZoomLevel() + 1); });
    connect(AddTool(bar2_, "40039", static_cast<int>(StringId::TipZoomOut), kZoomOutSvg), &QAction::triggered,
            this, [this] { view_->SetZoomLevel(view_->ZoomLevel() - 1); });
    connect(AddTool(bar2_, "40069", static_cast<int>(StringId::TipActualSize), kActualSizeSvg),
            &QAction::triggered, this, [this] { view_->SetZoomLevel(0); });

    trackbar_ = new QSlider(Qt::Horizontal, this);
    trackbar_->setObjectName("1100");
    trackbar_->setSingleStep(1);
    trackbar_->setPageStep(1);
    trackbar_->setFocusPolicy(Qt::StrongFocus);
    connect(trackbar_, &QSlider::actionTriggered, this, [this](int action) {
        Playback::Track how = Playback::Track::Position;
        if (action == QAbstractSlider::SliderSingleStepAdd || action == QAbstractSlider::SliderPageStepAdd)
            how = Playback::Track::LineDown;
        else if (action == QAbstractSlider::SliderSingleStepSub || action == QAbstractSlider::SliderPageStepSub)
            how = Playback::Track::LineUp;
        // The line steps wrap around; the position is what the trackbar
        // would move to otherwise.
        playback_.Trackbar(how, trackbar_->sliderPosition());
        Stop();
        Shown();
        trackbar_->setSliderPosition(playback_.Current());
    });
    number_ = new QLabel(this);
    number_->setObjectName("1098");
    number_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    number_->setMinimumWidth(number_->fontMetrics().horizontalAdvance("00000"));

    browserDelays_ = new QCheckBox(Tr(StringId::BrowserDelays), this);
    browserDelays_->setObjectName("browserDelays");
    browserDelays_->setToolTip(Tr(StringId::BrowserDelaysTip));
    browserDelays_->setChecked(playback_.browserDelays);
    connect(browserDelays_, &QCheckBox::toggled, this, &PreviewDialog::SetBrowserDelays);

    // Player above; one row with Play, Stop, the trackbar and the number;
    // the stepping and view tools centred under it; the delays box last.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(view_, 1);
    auto* row1 = new QHBoxLayout();
    row1->addWidget(bar1_);
    row1->addWidget(trackbar_, 1);
    row1->addWidget(number_);
    layout->addLayout(row1);
    auto* row2 = new QHBoxLayout();
    row2->addStretch(1);
    row2->addWidget(bar2_);
    row2->addStretch(1);
    layout->addLayout(row2);
    layout->addWidget(browserDelays_);

    playback_.SetAnimation(anim_);
    ApplyBackground();
    trackbar_->setRange(1, std::max(1, playback_.FrameCount()));
    stop_->setEnabled(false);

    // The player area is the logical screen plus 12 pixels each way, within
    // the screen's work area less 10 pixels.
    const int w = anim_ ? static_cast<int>(anim_->width) : 100;
    const int h = anim_ ? static_cast<int>(anim_->height) : 100;
    view_->setMinimumSize(64, 48);
    const QSize extra = layout->sizeHint() - view_->sizeHint();
    QSize want(std::max(w + 24 + 2 * view_->frameWidth(), bar2_->sizeHint().width()) + 8,
               h + 24 + 2 * view_->frameWidth() + std::max(0, extra.height()));
    QScreen* screen = parent ? parent->screen() : QApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry().adjusted(10, 10, -10, -10);
        want = want.boundedTo(area.size());
    }
    resize(want);
    trackbar_->setFocus();
    QTimer::singleShot(0, this, &PreviewDialog::Play);
}

PreviewDialog::~PreviewDialog() {
    timer_->stop();
    if (g_current == this) g_current = nullptr;
}

QAction* PreviewDialog::AddTool(QToolBar* bar, const char* name, int string_id, const char* svg) {
    QAction* a = bar->addAction(SvgIcon(svg), Tr(static_cast<StringId>(string_id)));
    a->setObjectName(name);
    a->setToolTip(a->text());
    if (QWidget* w = bar->widgetForAction(a)) w->setObjectName(name);
    return a;
}

bool PreviewDialog::TimerActive() const { return timer_->isActive(); }
int PreviewDialog::TimerInterval() const { return interval_; }

bool PreviewDialog::DocumentGone() const { return !engine_.State().previewOpen || engine_.Doc() != anim_; }

void PreviewDialog::StartTimer(int ms) {
    if (!clock_.isValid()) clock_.start();
    interval_ = ms;
    due_ = clock_.elapsed() + ms;
    timer_->start(ms);
}

void PreviewDialog::Play() {
    if (closing_ || DocumentGone()) return CloseFromEngine();
    const int ms = playback_.Play();
    play_->setChecked(true);
    stop_->setEnabled(true);
    Shown();
    if (playback_.FrameCount() > 0) StartTimer(ms);
}

void PreviewDialog::Stop() {
    timer_->stop();
    playback_.Stop();
    play_->setChecked(false);
    stop_->setEnabled(false);
}

void PreviewDialog::TimerTick() {
    timer_->stop();
    if (DocumentGone()) return CloseFromEngine();
    const qint64 fired = clock_.elapsed();
    const std::optional<int> next = playback_.Tick();
    Shown();
    if (!next) return Stop();
    const qint64 now = clock_.elapsed();
    composeMs_ = now - fired;
    // The next frame is due one delay after this one was due. A machine
    // that fell behind by more than that delay starts afresh from now
    // rather than racing through frames to catch up.
    qint64 due = due_ + *next;
    if (due < now) due = now + *next;
    interval_ = *next;
    due_ = due;
    timer_->start(static_cast<int>(std::max<qint64>(0, due - now - composeMs_)));
}

void PreviewDialog::Shown() {
    view_->SetPicture(player_.Picture());
    const int n = playback_.Current();
    number_->setText(QString::number(n));
    if (trackbar_->value() != n) {
        const QSignalBlocker block(trackbar_);
        trackbar_->setValue(n);
    }
    if (shown_) shown_(n);
}

void PreviewDialog::ApplyBackground() {
    const std::optional<uint32_t> rgb =
        PreviewBackgroundRgb(engine_.Prefs().Get(PreferenceBlock::kPreviewBackground));
    const QColor c = rgb ? QColor::fromRgb(static_cast<QRgb>(*rgb)) : palette().color(QPalette::Button);
    player_.SetBackground(static_cast<uint32_t>(c.rgb() & 0xFFFFFF));
    view_->SetBackground(c);
    colorButton_->setIcon(SwatchIcon(c));
    if (!player_.Picture().rgba.empty()) view_->SetPicture(player_.Picture());
}

void PreviewDialog::ChooseBackground() {
    // The timer pauses while the colour dialog is open.
    const bool wasPlaying = playback_.Playing() && timer_->isActive();
    const int left = wasPlaying ? std::max(1, timer_->remainingTime()) : 0;
    timer_->stop();
    const QColor chosen =
        QColorDialog::getColor(view_->Background(), this, Tr(StringId::TipBackground));
    if (closing_ || DocumentGone()) return CloseFromEngine();
    if (chosen.isValid()) {
        engine_.Prefs().Set(PreferenceBlock::kPreviewBackground,
                            EncodePreviewBackground(static_cast<uint32_t>(chosen.rgb() & 0xFFFFFF)));
        ApplyBackground();
    }
    if (wasPlaying) StartTimer(left);
}

void PreviewDialog::SetBrowserDelays(bool on) {
    playback_.browserDelays = on;
    SetBrowserDelaysPreferred(engine_.Prefs(), on);
}

void PreviewDialog::Sync(uint32_t flags) {
    if (closing_) return;
    if (DocumentGone()) return CloseFromEngine();
    if (flags & refresh::kFrameList) {
        playback_.FramesChanged();
        trackbar_->setRange(1, std::max(1, playback_.FrameCount()));
        Shown();
        if (playback_.Playing()) StartTimer(playback_.DelayMs(playback_.Current()));
    } else if (flags & (refresh::kFrames | refresh::kDocument)) {
        // The frames' pixels changed: a new canvas, composed up to the shown frame.
        const int n = playback_.Current();
        const bool playing = playback_.Playing();
        playback_.SetAnimation(anim_);
        ApplyBackground();
        playback_.Show(std::max(1, n), true);
        Shown();
        if (playing) {
            // Playback::SetAnimation stopped it; go on from the shown frame.
            const int left = timer_->isActive() ? timer_->remainingTime() : interval_;
            Play();
            playback_.Show(std::max(1, n), true);
            Shown();
            StartTimer(std::max(1, left));
        }
    }
}

void PreviewDialog::CloseFromEngine() {
    closing_ = true;
    timer_->stop();
    playback_.Stop();
    if (g_current == this) g_current = nullptr;
    hide();
    deleteLater();
}

void PreviewDialog::reject() { close(); }

void PreviewDialog::closeEvent(QCloseEvent* e) {
    timer_->stop();
    const bool byUser = !closing_;
    closing_ = true;
    if (engine_.State().previewOpen) engine_.Execute(CommandId::StopPreview);
    if (g_current == this) g_current = nullptr;
    e->accept();
    QDialog::closeEvent(e);
    deleteLater();
    if (byUser && g_closedHandler) g_closedHandler();
}

namespace {

CommandResult OpenPreview(CommandContext& ctx) {
    if (PreviewDialog* d = PreviewDialog::Current()) {
        d->raise();
        d->activateWindow();
        return {Result::Done, 0};
    }
    const CommandResult r = ctx.engine.Execute(CommandId::Preview);
    if (!r.Ok()) return r;
    auto* d = new PreviewDialog(ctx.engine, ctx.parent);
    d->show();
    return r;
}

CommandResult ClosePreview(CommandContext& ctx) {
    const CommandResult r = ctx.engine.Execute(CommandId::StopPreview);
    SyncPreview(0);
    return r;
}

const bool registered = RegisterCommandHandler(CommandId::Preview, OpenPreview) &&
                        RegisterCommandHandler(CommandId::StopPreview, ClosePreview);

}  // namespace

}  // namespace cinemill
