#pragma once

#include <QDialog>
#include <functional>

#include "cinemill/app/engine.h"
#include "cinemill/app/prefs.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace cinemill {

class FileAssociation;
class UpDownEdit;

// Called with the new setting when OK changed the flat-look box: the main
// window applies it to both tool bars at once.
using FlatLookListener = std::function<void(bool flat)>;
bool SetFlatLookListener(FlatLookListener f);
// The association the Program page reads and changes (the user's desktop
// entry unless set; tests set their own).
void SetPreferencesAssociation(FileAssociation* association);

// "Preferences": Defaults (203), Palettes (202), Program (204) and
// Signature (179), starting on the first. Leaving a page checks it (the
// message, the focus on the field, the page stays); OK checks the page shown
// and applies every page that was shown to the engine's preferences, which
// write themselves through to their store.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    PreferencesDialog(Engine& engine, FileAssociation* association, QWidget* parent = nullptr);

    QTabWidget* tabs;
    QWidget *defaultsPage, *palettesPage, *programPage, *signaturePage;
    QPushButton *okButton, *cancelButton;
    // Defaults.
    UpDownEdit *delay, *iterations;
    QRadioButton *clipInserted, *changeSize;
    QCheckBox* alwaysAsk;
    // Palettes.
    QRadioButton* methods[5];
    QComboBox *maxColors, *trueColorMax;
    QCheckBox *dither, *askMerge;
    // Program.
    QLineEdit* undoLevels;
    QCheckBox *continuousLoop, *flatLook, *associate;
    // Signature.
    QCheckBox* addSignature;
    QPlainTextEdit* signature;

    // Done after OK (with kModified when the signature setting marked the
    // document modified), Stopped after Cancel.
    CommandResult Outcome() const { return outcome_; }
    void accept() override;

private:
    void Store(int page);
    void TabChanged(int index);
    void Refused(const PageProblem& p, QWidget* page);

    Engine& engine_;
    PreferencesSheet model_;
    int current_ = 0;
    bool switching_ = false;
    CommandResult outcome_{Result::Stopped, 0};
};

CommandResult RunPreferences(QWidget* parent, Engine& engine);

}  // namespace cinemill
