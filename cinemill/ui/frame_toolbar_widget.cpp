#include "cinemill/ui/frame_toolbar_widget.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include "cinemill/app/engine.h"
#include "cinemill/app/engine_views.h"
#include "cinemill/app/frame_toolbar.h"
#include "cinemill/app/menu_state.h"
#include "cinemill/ui/dialog_parts.h"
#include "cinemill/ui/main_actions.h"

namespace cinemill {

namespace {

QString Tip(CommandId id) {
    const auto t = ToolTipOf(id);
    return t ? Tr(*t) : QString();
}

// A small picture beside a field, greyed with it.
QLabel* FieldIcon(CommandId id, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setPixmap(QIcon(IconPathOf(id)).pixmap(QSize(15, 15)));
    l->setToolTip(Tip(id));
    l->setContentsMargins(6, 0, 0, 0);
    return l;
}

}  // namespace

QAction* FrameToolbarWidget::Own(CommandId id, bool checkable) {
    auto* a = new QAction(QIcon(IconPathOf(id)), Tip(id), this);
    a->setData(Id(id));
    a->setObjectName(CommandName(Id(id)));
    a->setCheckable(checkable);
    a->setToolTip(Tip(id));
    own_ << a;
    connect(a, &QAction::triggered, this, [this, a](bool checked) {
        if (!loading_) emit commandRequested(a->data().toInt(), checked);
    });
    return a;
}

QAction* FrameToolbarWidget::Button(CommandId id) const {
    for (QAction* a : own_)
        if (a->data().toInt() == Id(id)) return a;
    return nullptr;
}

FrameToolbarWidget::FrameToolbarWidget(Engine& engine, MainActions& actions, QWidget* parent)
    : QToolBar("Frame", parent), engine_(engine) {
    setObjectName("frameToolBar");
    setIconSize(QSize(16, 16));

    addAction(actions.Action(CommandId::FrameProperties));
    addSeparator();

    selector_ = new QComboBox(this);
    selector_->setObjectName("frameSelector");
    selector_->setToolTip(Tip(CommandId::FrameSelector));
    // Wide enough for "#12: name.gif - Frame 12" in the window's font; the
    // list that opens is as wide as its longest entry.
    selector_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    selector_->setMinimumContentsLength(24);
    selector_->setMaxVisibleItems(25);
    addWidget(selector_);
    connect(selector_, &QComboBox::activated, this, &FrameToolbarWidget::EntryChosen);

    delayIcon_ = FieldIcon(CommandId::DelayEdit, this);
    delayIcon_->setObjectName("delayIcon");
    addWidget(delayIcon_);
    delay_ = new QLineEdit(this);
    delay_->setObjectName("delayEdit");
    delay_->setToolTip(Tip(CommandId::DelayEdit));
    delay_->setFixedWidth(52);
    addWidget(delay_);
    connect(delay_, &QLineEdit::textEdited, this, &FrameToolbarWidget::DelayTyped);

    disposal_ = new QActionGroup(this);
    disposal_->setExclusive(true);
    for (CommandId id : {CommandId::DisposalLeave, CommandId::DisposalBackground, CommandId::DisposalPrevious}) {
        QAction* a = Own(id, true);
        disposal_->addAction(a);
        addAction(a);
    }
    addSeparator();
    addAction(Own(CommandId::ToggleTransparency, true));
    addAction(Own(CommandId::PickTransparency, false));
    addSeparator();
    addAction(Own(CommandId::LocalPalette, true));
    addAction(actions.Action(CommandId::EditLocalPalette));
    addSeparator();
    addAction(Own(CommandId::Interlace, true));

    // An etched line between the frame's controls and the animation's.
    auto* edge = new QFrame(this);
    edge->setObjectName("verticalEdge");
    edge->setFrameShape(QFrame::VLine);
    edge->setFrameShadow(QFrame::Sunken);
    edge->setContentsMargins(8, 0, 8, 0);
    edge->setFixedWidth(20);
    addWidget(edge);

    addAction(actions.Action(CommandId::AnimationProperties));
    playCountIcon_ = FieldIcon(CommandId::PlayCountEdit, this);
    playCountIcon_->setObjectName("playCountIcon");
    addWidget(playCountIcon_);
    playCount_ = new QLineEdit(this);
    playCount_->setObjectName("playCountEdit");
    playCount_->setToolTip(Tip(CommandId::PlayCountEdit));
    playCount_->setFixedWidth(52);
    addWidget(playCount_);
    connect(playCount_, &QLineEdit::textEdited, this, &FrameToolbarWidget::PlayCountTyped);
    addAction(actions.Action(CommandId::EditGlobalPalette));

    RebuildSelector();
    Load();
}

void FrameToolbarWidget::Load() {
    loading_ = true;
    const FrameToolbarState st = FrameToolbarStateOf(FrameToolbarInputOf(engine_));
    for (QAction* a : own_) {
        const ButtonState* b = st.Button(static_cast<CommandId>(a->data().toInt()));
        a->setEnabled(b && b->enabled);
        if (a->isCheckable()) a->setChecked(b && b->checked);
    }
    // An exclusive group keeps one button checked: with no frame none is.
    if (!disposal_->checkedAction() || !st.Button(CommandId::DisposalLeave)->enabled) {
        disposal_->setExclusive(false);
        for (QAction* a : disposal_->actions()) {
            const ButtonState* b = st.Button(static_cast<CommandId>(a->data().toInt()));
            a->setChecked(b && b->checked);
        }
        disposal_->setExclusive(true);
    }
    selector_->setEnabled(st.selectorEnabled);
    delay_->setEnabled(st.delayEnabled);
    delayIcon_->setEnabled(st.delayEnabled);
    if (delay_->text().toStdString() != st.delayText) delay_->setText(QString::fromStdString(st.delayText));
    playCount_->setEnabled(st.playCountEnabled);
    playCountIcon_->setEnabled(st.playCountEnabled);
    if (playCount_->text().toStdString() != st.playCountText)
        playCount_->setText(QString::fromStdString(st.playCountText));
    loading_ = false;
}

void FrameToolbarWidget::RebuildSelector() {
    const QSignalBlocker block(selector_);
    selector_->clear();
    int widest = 0;
    const QFontMetrics fm(selector_->font());
    for (const std::string& e : FrameSelectorEntries(engine_.Doc())) {
        const QString t = QString::fromStdString(e);
        selector_->addItem(t);
        widest = std::max(widest, fm.horizontalAdvance(t));
    }
    // The list opens as wide as its widest entry.
    const int scroll = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    selector_->view()->setMinimumWidth(std::max(selector_->width(), widest + scroll + 8));
    ShowSelection();
}

void FrameToolbarWidget::ShowSelection() {
    const QSignalBlocker block(selector_);
    selector_->setCurrentIndex(SelectorEntryForFrame(engine_.State().selected));
}

void FrameToolbarWidget::SetFlat(bool flat) {
    for (QToolButton* b : findChildren<QToolButton*>()) b->setAutoRaise(flat);
}

void FrameToolbarWidget::EntryChosen(int entry) {
    emit changed(engine_.Select(FrameForSelectorEntry(entry)).refresh);
}

void FrameToolbarWidget::DelayTyped(const QString& text) {
    if (!engine_.State().SelectedFrame()) return;
    const auto v = ParseFieldInteger(text.toStdString());
    if (!v) return;
    const CommandResult r = engine_.SetDelay(*v);
    // A refused value: the field shows what was stored instead.
    if (*v < 0 || *v > 65535) delay_->setText(QString::number(engine_.State().SelectedFrame()->delay));
    emit changed(r.refresh);
}

void FrameToolbarWidget::PlayCountTyped(const QString& text) {
    if (!engine_.Doc()) return;
    const auto v = ParseFieldInteger(text.toStdString());
    if (!v) return;
    const CommandResult r = engine_.SetPlayCount(*v);
    if (*v < 0 || *v > 65536) playCount_->setText(QString::number(engine_.Doc()->playCount));
    emit changed(r.refresh);
}

}  // namespace cinemill
