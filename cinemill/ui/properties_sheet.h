#pragma once

#include <QDialog>
#include <functional>
#include <set>

#include "cinemill/app/engine.h"
#include "cinemill/app/property_pages.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace cinemill {

class SwatchButton;

// ---- dialogs the pages open, supplied by their own sources ------------------------------------

// "Pick Transparency Index" on a frame with the page's choice record: true
// when the user pressed OK (the record then holds the new choice).
using TransparencyPickerFn = std::function<bool(QWidget* parent, const Animation& doc, const Frame& frame,
                                                PreferenceBlock& prefs, TransparencyChoice& choice)>;
// The palette editor on a frame's local palette (frame index) or on the
// global palette (-1); it changes the document at once through the engine
// and answers what that call answered (Stopped when nothing changed).
using PaletteEditorFn = std::function<CommandResult(QWidget* parent, Engine& engine, int frame_or_global)>;
// The background-colour picker: the chosen palette index, or -1.
using BackgroundPickerFn = std::function<int(QWidget* parent, const Animation& doc, int index)>;
// Each answers true, so that a source can register from a static's
// initialiser. Until one is registered, Transparent takes the frame's own
// transparent index when checked and the Edit... buttons are disabled.
bool RegisterTransparencyPicker(TransparencyPickerFn f);
bool RegisterPaletteEditor(PaletteEditorFn f);
bool RegisterBackgroundPicker(BackgroundPickerFn f);

// ---- pages ----------------------------------------------------------------------------------

// The Frame page (template 103) and the Global Frame page (165): the same
// controls, the global one without Name and with three-state boxes. The
// controls' object names are their control ids.
class FramePageWidget : public QWidget {
    Q_OBJECT
public:
    // `index` is the selected frame (Frame page) or -1 (Global Frame page).
    FramePageWidget(Engine& engine, int index, QWidget* parent = nullptr);
    bool Global() const { return index_ < 0; }

    FramePageFields FrameFields() const;
    GlobalFramePageFields GlobalFields() const;
    const GlobalFramePageFields& GlobalLoaded() const { return globalLoaded_; }
    PageCheck Check() const;
    // A palette editor's refresh flags gathered while the page was open.
    uint32_t PaletteRefresh() const { return paletteRefresh_; }

    QLineEdit *name = nullptr, *width, *height, *offsetX, *offsetY, *delay;
    QCheckBox *transparent, *interlaced, *localPalette;
    QPushButton *editTransparency, *editLocalPalette;
    QComboBox* disposal;

private:
    void TransparentClicked();
    void OpenPicker(bool by_checking);
    void ShowTransparency();
    void EditLocalPalette();

    Engine& engine_;
    int index_;
    TransparencyField transparency_;
    GlobalFramePageFields globalLoaded_;
    bool localPaletteEnabled_ = false;
    uint32_t paletteRefresh_ = 0;
};

// The Animation page (template 105).
class AnimationPageWidget : public QWidget {
    Q_OBJECT
public:
    AnimationPageWidget(Engine& engine, QWidget* parent = nullptr);
    AnimationPageFields Fields() const;
    PageCheck Check() const;
    uint32_t PaletteRefresh() const { return paletteRefresh_; }

    QLineEdit *fileName, *frameCount, *iterations, *width, *height;
    QCheckBox* globalPalette;
    QPushButton *editPalette, *autoSize;
    SwatchButton* bkColor;

private:
    void ShowBackground();
    void PickBackground();
    void EditPalette();

    Engine& engine_;
    AnimationPageFields loaded_;
    bool sizeEdited_ = false;
    int backgroundIndex_ = 0;
    uint32_t paletteRefresh_ = 0;
};

// ---- the sheet ----------------------------------------------------------------------------

// "Properties" for Frame Properties, Global Properties and Animation
// Properties: the pages that command opens, starting on the one it names.
// Leaving a page checks it (a failure shows its message, keeps the page and
// puts the focus on the field); OK checks the page shown, then applies every
// page that was shown, in page order, each through its engine call. Cancel
// leaves the document as it was, except for what palette editors opened from
// the pages did at once.
class PropertiesSheet : public QDialog {
    Q_OBJECT
public:
    PropertiesSheet(Engine& engine, CommandId command, QWidget* parent = nullptr);

    QTabWidget* tabs;
    FramePageWidget* framePage = nullptr;
    FramePageWidget* globalPage = nullptr;
    AnimationPageWidget* animationPage = nullptr;
    QPushButton *okButton, *cancelButton;

    // What the sheet did: Done with the refresh flags after OK, Stopped
    // after Cancel (with the palette editors' refresh).
    CommandResult Outcome() const { return outcome_; }

    void accept() override;
    void reject() override;

private:
    void TabChanged(int index);
    PageCheck CheckPage(QWidget* page) const;
    static void FocusField(QWidget* page, PageField field);

    Engine& engine_;
    int frameIndex_;
    int current_ = 0;
    bool switching_ = false;
    std::set<QWidget*> shown_;
    CommandResult outcome_{Result::Stopped, 0};
};

// Opens the sheet for `command` (Frame Properties needs a selected frame,
// the others a document) and answers its outcome. Frame Properties,
// Global Properties and Animation Properties register this as their handler.
CommandResult RunPropertiesSheet(QWidget* parent, Engine& engine, CommandId command);

}  // namespace cinemill
