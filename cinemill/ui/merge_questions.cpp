#include "cinemill/ui/merge_questions.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "cinemill/app/prefs.h"
#include "cinemill/base/strings.h"
#include "cinemill/ui/dialog_parts.h"

namespace cinemill {

namespace {

// OK and Cancel at the foot of `layout`.
QDialogButtonBox* AddButtons(QDialog* d, QBoxLayout* layout) {
    auto* box = OkCancelButtons(d);
    layout->addWidget(box);
    return box;
}

// The count lists offer 256 down to 8 colours.
QComboBox* CountList(QWidget* parent, const char* name, int index) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    for (int i = 0; i < 6; ++i) list->addItem(QString::number(MergeListColors(i)));
    list->setCurrentIndex(index);
    return list;
}

uint32_t Run(QuestionDialog* d) {
    const bool ok = d->exec() == QDialog::Accepted;
    const uint32_t answer = ok ? d->Answer() : 0;
    delete d;
    return answer;
}

}  // namespace

QuestionDialog* MakePaletteMergeDialog(QWidget* parent, uint32_t current) {
    const MergeChoice start = MergeChoiceFromSlot(current);
    auto* d = new QuestionDialog(parent);
    d->setObjectName("ColorPaletteMerging");
    d->setWindowTitle(Tr(StringId::MergeCaption));
    auto* layout = new QVBoxLayout(d);
    auto* intro = new QLabel(Tr(StringId::MergeIntro), d);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* methodBox = new QGroupBox(Tr(StringId::MergeMethodGroup), d);
    auto* grid = new QGridLayout(methodBox);
    auto* methods = new QButtonGroup(d);
    const StringId names[5] = {StringId::MergeSelfAdapting, StringId::MergeWithGlobal,
                               StringId::MergeMapToGlobal, StringId::MergeWebPalette,
                               StringId::MergeLocalPalettes};
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(Tr(names[i]), methodBox);
        radio->setObjectName(QString::number(1197 + i));
        methods->addButton(radio, i);
        grid->addWidget(radio, i, 0);
    }
    methods->button(start.method)->setChecked(true);
    // The self-adapting palette's size sits beside its button.
    auto* maxRow = new QHBoxLayout();
    maxRow->addWidget(new QLabel(Tr(StringId::MergeMaxColors), methodBox));
    QComboBox* maxColors = CountList(methodBox, "1202", start.maxColors);
    maxRow->addWidget(maxColors);
    grid->addLayout(maxRow, 0, 1);
    grid->setColumnStretch(0, 1);
    layout->addWidget(methodBox);

    auto* details = new QGroupBox(Tr(StringId::MergeDetailsGroup), d);
    auto* detailsLayout = new QGridLayout(details);
    auto* dither = new QCheckBox(Tr(StringId::MergeDither), details);
    dither->setObjectName("1204");
    dither->setChecked(start.dither);
    detailsLayout->addWidget(dither, 0, 0, 1, 2);
    auto* trueLabel = new QLabel(Tr(StringId::MergeTrueColorMax), details);
    trueLabel->setWordWrap(true);
    detailsLayout->addWidget(trueLabel, 1, 0);
    QComboBox* trueColorMax = CountList(details, "1203", start.trueColorMax);
    detailsLayout->addWidget(trueColorMax, 1, 1, Qt::AlignTop);
    detailsLayout->setColumnStretch(0, 1);
    layout->addWidget(details);

    auto* dontShow = new QCheckBox(Tr(StringId::MergeDontShowAgain), d);
    dontShow->setObjectName("dontShowAgain");
    dontShow->setChecked((current & PreferenceBlock::kMergeAsk) == 0);
    layout->addWidget(dontShow);
    AddButtons(d, layout);

    d->SetAnswer([=] {
        MergeChoice c;
        c.method = methods->checkedId() < 0 ? 0 : methods->checkedId();
        c.maxColors = maxColors->currentIndex();
        c.trueColorMax = trueColorMax->currentIndex();
        c.dither = dither->isChecked();
        return EncodeMergeChoice(c, !dontShow->isChecked());
    });
    return d;
}

QuestionDialog* MakeFrameSizeConflictDialog(QWidget* parent, uint32_t current) {
    auto* d = new QuestionDialog(parent);
    d->setObjectName("FrameSizeConflict");
    d->setWindowTitle(Tr(StringId::FrameSizeConflictCaption));
    auto* layout = new QVBoxLayout(d);
    auto* top = new QHBoxLayout();
    auto* icon = new QLabel(d);
    icon->setObjectName("1030");
    const int side = d->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, d);
    icon->setPixmap(d->style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, d).pixmap(side, side));
    icon->setAlignment(Qt::AlignTop);
    top->addWidget(icon);
    auto* text = new QLabel(Tr(StringId::FrameSizeConflictQuestion), d);
    text->setWordWrap(true);
    text->setMinimumWidth(320);
    top->addWidget(text, 1);
    layout->addLayout(top);
    auto* clip = new QRadioButton(Tr(StringId::SizeClipInserted), d);
    clip->setObjectName("1111");
    auto* grow = new QRadioButton(Tr(StringId::SizeChangeToFit), d);
    grow->setObjectName("1112");
    (FrameSizeQuestionStartsWithChange(current) ? grow : clip)->setChecked(true);
    layout->addWidget(clip);
    layout->addWidget(grow);
    auto* dontAsk = new QCheckBox(Tr(StringId::SizeDontAskAgain), d);
    dontAsk->setObjectName("1083");
    layout->addWidget(dontAsk);
    AddButtons(d, layout);
    d->SetAnswer([=] { return FrameSizeQuestionResult(grow->isChecked(), dontAsk->isChecked()); });
    return d;
}

uint32_t AskPaletteMergeDialog(QWidget* parent, uint32_t current) {
    return Run(MakePaletteMergeDialog(parent, current));
}

uint32_t AskFrameSizeConflictDialog(QWidget* parent, uint32_t current) {
    return Run(MakeFrameSizeConflictDialog(parent, current));
}

}  // namespace cinemill
