#include "cinemill/ui/preferences_sheet.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "cinemill/app/file_association.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/ui/command_handlers.h"
#include "cinemill/ui/dialog_parts.h"
#include "cinemill/ui/property_widgets.h"

namespace cinemill {
namespace {

namespace pc = pref_controls;

FlatLookListener& Listener() {
    static FlatLookListener f;
    return f;
}
FileAssociation*& AssociationOverride() {
    static FileAssociation* a = nullptr;
    return a;
}

template <class W>
W* Named(W* w, int id) {
    w->setObjectName(ControlName(id));
    return w;
}

QCheckBox* WrappedCheck(const QString& text, int id, QWidget* parent) {
    // A check box with its text in a word-wrapped label beside it, so that
    // long texts wrap instead of widening the sheet.
    auto* box = Named(new QCheckBox(parent), id);
    box->setAccessibleName(text);
    return box;
}

QHBoxLayout* CheckRow(QCheckBox* box, const QString& text, QWidget* parent) {
    auto* row = new QHBoxLayout;
    auto* label = WrappedLabel(text, parent);
    label->setBuddy(box);
    row->addWidget(box, 0, Qt::AlignTop);
    row->addWidget(label, 1);
    return row;
}

void FillColorList(QComboBox* c) {
    for (int i = 0; i < 6; ++i)
        c->addItem(QString::fromStdString(FormatString(StringId::MergeColorsEntry, std::to_string(MergeListColors(i)))));
}

}  // namespace

bool SetFlatLookListener(FlatLookListener f) {
    Listener() = std::move(f);
    return true;
}

void SetPreferencesAssociation(FileAssociation* association) { AssociationOverride() = association; }

PreferencesDialog::PreferencesDialog(Engine& engine, FileAssociation* association, QWidget* parent)
    : QDialog(parent), engine_(engine), model_(engine.Prefs(), association) {
    setWindowTitle(Tr(StringId::PreferencesCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    tabs = new QTabWidget(this);

    // "Defaults".
    defaultsPage = new QWidget(tabs);
    defaultsPage->setObjectName("203");
    {
        auto* grid = new QGridLayout(defaultsPage);
        delay = Named(new UpDownEdit(0, 32767, defaultsPage), pc::kDelay);
        iterations = Named(new UpDownEdit(0, 32767, defaultsPage), pc::kIterations);
        grid->addWidget(new QLabel(Tr(StringId::PrefDelay), defaultsPage), 0, 0);
        grid->addWidget(delay, 0, 1);
        grid->addWidget(new QLabel(Tr(StringId::PrefDelayUnit), defaultsPage), 0, 2);
        grid->addWidget(new QLabel(Tr(StringId::PrefLoopIterations), defaultsPage), 1, 0);
        grid->addWidget(iterations, 1, 1);
        grid->addWidget(new QLabel(Tr(StringId::PrefContinuousNote), defaultsPage), 1, 2);
        auto* group = new QGroupBox(Tr(StringId::PrefFrameSizeGroup), defaultsPage);
        auto* v = new QVBoxLayout(group);
        clipInserted = Named(new QRadioButton(Tr(StringId::PrefClipInserted), group), pc::kClipInserted);
        changeSize = Named(new QRadioButton(Tr(StringId::PrefChangeSize), group), pc::kChangeSize);
        alwaysAsk = Named(new QCheckBox(Tr(StringId::PrefAlwaysAsk), group), pc::kAlwaysAsk);
        v->addWidget(clipInserted);
        v->addWidget(changeSize);
        v->addWidget(alwaysAsk);
        grid->addWidget(group, 2, 0, 1, 3);
        grid->setRowStretch(3, 1);
        grid->setColumnStretch(2, 1);
        delay->SetTyped(QString::fromStdString(model_.defaults.delay));
        iterations->SetTyped(QString::fromStdString(model_.defaults.iterations));
        (model_.defaults.changeSize ? changeSize : clipInserted)->setChecked(true);
        alwaysAsk->setChecked(model_.defaults.alwaysAsk);
    }

    // "Palettes": the controls of the palette-merging question.
    palettesPage = new QWidget(tabs);
    palettesPage->setObjectName("202");
    {
        auto* v = new QVBoxLayout(palettesPage);
        v->addWidget(WrappedLabel(Tr(StringId::MergeIntro), palettesPage));
        auto* methodBox = new QGroupBox(Tr(StringId::MergeMethodGroup), palettesPage);
        auto* grid = new QGridLayout(methodBox);
        const StringId names[5] = {StringId::MergeSelfAdapting, StringId::MergeWithGlobal, StringId::MergeMapToGlobal,
                                   StringId::MergeWebPalette, StringId::MergeLocalPalettes};
        for (int i = 0; i < 5; ++i) {
            methods[i] = Named(new QRadioButton(Tr(names[i]), methodBox), pc::kMethodFirst + i);
            grid->addWidget(methods[i], i == 0 ? 0 : i + 1, 0, 1, 2);
        }
        maxColors = Named(new QComboBox(methodBox), pc::kMaxColors);
        FillColorList(maxColors);
        auto* indent = new QLabel(Tr(StringId::MergeMaxColors), methodBox);
        indent->setContentsMargins(methodBox->fontMetrics().averageCharWidth() * 4, 0, 0, 0);
        grid->addWidget(indent, 1, 0);
        grid->addWidget(maxColors, 1, 1, Qt::AlignLeft);
        grid->setColumnStretch(1, 1);
        v->addWidget(methodBox);
        auto* details = new QGroupBox(Tr(StringId::MergeDetails), palettesPage);
        auto* d = new QGridLayout(details);
        dither = Named(new QCheckBox(Tr(StringId::MergeDither), details), pc::kDither);
        trueColorMax = Named(new QComboBox(details), pc::kTrueColorMax);
        FillColorList(trueColorMax);
        d->addWidget(dither, 0, 0, 1, 2);
        d->addWidget(WrappedLabel(Tr(StringId::MergeTrueColorMax), details,
                                  details->fontMetrics().averageCharWidth() * 30),
                     1, 0);
        d->addWidget(trueColorMax, 1, 1, Qt::AlignLeft | Qt::AlignVCenter);
        v->addWidget(details);
        askMerge = Named(new QCheckBox(Tr(StringId::MergeAlwaysAsk), palettesPage), pc::kAskMerge);
        v->addWidget(askMerge);
        v->addStretch(1);
        const PalettesPage& p = model_.palettes;
        methods[std::clamp(p.choice.method, 0, 4)]->setChecked(true);
        maxColors->setCurrentIndex(p.choice.maxColors);
        trueColorMax->setCurrentIndex(p.choice.trueColorMax);
        dither->setChecked(p.choice.dither);
        askMerge->setChecked(p.alwaysAsk);
    }

    // "Program".
    programPage = new QWidget(tabs);
    programPage->setObjectName("204");
    {
        auto* v = new QVBoxLayout(programPage);
        auto* row = new QHBoxLayout;
        undoLevels = Named(new QLineEdit(programPage), pc::kUndoLevels);
        undoLevels->setMaximumWidth(undoLevels->fontMetrics().horizontalAdvance("0000000000") + 16);
        row->addWidget(new QLabel(Tr(StringId::PrefMaintain), programPage));
        row->addWidget(undoLevels);
        row->addWidget(new QLabel(Tr(StringId::PrefUndoLevels), programPage));
        row->addStretch(1);
        v->addLayout(row);
        continuousLoop = WrappedCheck(Tr(StringId::PrefContinuousLoop), pc::kContinuousLoop, programPage);
        flatLook = WrappedCheck(Tr(StringId::PrefFlatLook), pc::kFlatLook, programPage);
        associate = WrappedCheck(Tr(StringId::PrefAssociate), pc::kAssociate, programPage);
        v->addLayout(CheckRow(continuousLoop, Tr(StringId::PrefContinuousLoop), programPage));
        v->addLayout(CheckRow(flatLook, Tr(StringId::PrefFlatLook), programPage));
        v->addLayout(CheckRow(associate, Tr(StringId::PrefAssociate), programPage));
        v->addStretch(1);
        undoLevels->setText(QString::fromStdString(model_.program.undoLevels));
        continuousLoop->setChecked(model_.program.continuousLoop);
        flatLook->setChecked(model_.program.flatLook);
        associate->setChecked(model_.program.associate);
        associate->setEnabled(association != nullptr);
    }

    // "Signature".
    signaturePage = new QWidget(tabs);
    signaturePage->setObjectName("179");
    {
        auto* v = new QVBoxLayout(signaturePage);
        v->addWidget(WrappedLabel(Tr(StringId::SignatureExplanation), signaturePage));
        addSignature = Named(new QCheckBox(Tr(StringId::SignatureAlways), signaturePage), pc::kAddSignature);
        signature = Named(new QPlainTextEdit(signaturePage), pc::kSignatureText);
        signature->setMinimumHeight(signature->fontMetrics().lineSpacing() * 5);
        v->addWidget(addSignature);
        v->addWidget(signature, 1);
        addSignature->setChecked(model_.signature.addSignature);
        signature->setPlainText(FromBytes(model_.signature.text));
        signature->setEnabled(model_.signature.TextEnabled());
        connect(addSignature, &QCheckBox::toggled, signature, &QWidget::setEnabled);
    }

    tabs->addTab(defaultsPage, Tr(StringId::PrefPageDefaults));
    tabs->addTab(palettesPage, Tr(StringId::PrefPagePalettes));
    tabs->addTab(programPage, Tr(StringId::PrefPageProgram));
    tabs->addTab(signaturePage, Tr(StringId::PrefPageSignature));
    tabs->setCurrentIndex(0);
    connect(tabs, &QTabWidget::currentChanged, this, [this](int i) { TabChanged(i); });

    auto* buttons = SheetButtons(this, okButton, cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

// The page's controls into the sheet's state.
void PreferencesDialog::Store(int page) {
    switch (page) {
        case PreferencesSheet::kDefaults:
            model_.defaults.delay = delay->Typed().toStdString();
            model_.defaults.iterations = iterations->Typed().toStdString();
            model_.defaults.changeSize = changeSize->isChecked();
            model_.defaults.alwaysAsk = alwaysAsk->isChecked();
            break;
        case PreferencesSheet::kPalettes:
            for (int i = 0; i < 5; ++i)
                if (methods[i]->isChecked()) model_.palettes.choice.method = i;
            model_.palettes.choice.maxColors = maxColors->currentIndex();
            model_.palettes.choice.trueColorMax = trueColorMax->currentIndex();
            model_.palettes.choice.dither = dither->isChecked();
            model_.palettes.alwaysAsk = askMerge->isChecked();
            break;
        case PreferencesSheet::kProgram:
            model_.program.undoLevels = undoLevels->text().toStdString();
            model_.program.continuousLoop = continuousLoop->isChecked();
            model_.program.flatLook = flatLook->isChecked();
            model_.program.associate = associate->isChecked();
            break;
        case PreferencesSheet::kSignature:
            model_.signature.addSignature = addSignature->isChecked();
            model_.signature.text = ToBytes(signature->toPlainText());
            break;
    }
}

void PreferencesDialog::Refused(const PageProblem& p, QWidget* page) {
    if (QWidget* w = page->findChild<QWidget*>(ControlName(p.control))) {
        w->setFocus();
        if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
    }
}

void PreferencesDialog::TabChanged(int index) {
    if (switching_) return;
    Store(current_);
    if (const auto problem = model_.ShowPage(static_cast<PreferencesSheet::Page>(index))) {
        ShowProblem(*problem, engine_.Host());
        switching_ = true;
        tabs->setCurrentIndex(current_);
        switching_ = false;
        Refused(*problem, tabs->widget(current_));
        return;
    }
    current_ = index;
}

void PreferencesDialog::accept() {
    for (int p = 0; p < PreferencesSheet::kPageCount; ++p) Store(p);
    const PreferencesSheet::Result r = model_.Ok(engine_.Host());
    if (r.problem) {
        Refused(*r.problem, tabs->widget(current_));
        return;
    }
    outcome_ = {Result::Done, 0};
    if (r.flatLookChanged && Listener()) Listener()(engine_.Prefs().Flag(PreferenceBlock::kFlagFlatToolbars));
    if (r.documentModified) outcome_.refresh |= engine_.SignatureChanged().refresh;
    QDialog::accept();
}

CommandResult RunPreferences(QWidget* parent, Engine& engine) {
    FileAssociation* association = AssociationOverride();
    static DesktopFileAssociation desktop = DesktopFileAssociation::ForCurrentUser();
    if (!association) association = &desktop;
    PreferencesDialog dialog(engine, association, parent);
    dialog.exec();
    return dialog.Outcome();
}

namespace {
const bool registered = RegisterCommandHandler(
    CommandId::Preferences, [](CommandContext& c) { return RunPreferences(c.parent, c.engine); });
}  // namespace

}  // namespace cinemill
