#pragma once

#include <QToolBar>

#include <cstdint>

#include "cinemill/app/command_id.h"

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QLineEdit;

namespace cinemill {

class Engine;
class MainActions;

// The frame tool bar: Frame Properties, the frame selector, the delay
// field, the disposal buttons (a check group), Toggle and Pick
// Transparency, Local Palette, Edit Local Palette, Interlace, Animation
// Properties, the play-count field and Edit Global Palette. The fields go
// to the engine as they are typed; the buttons ask the main window to run
// their command.
class FrameToolbarWidget : public QToolBar {
    Q_OBJECT
public:
    FrameToolbarWidget(Engine& engine, MainActions& actions, QWidget* parent = nullptr);

    // Loads the buttons and fields from the selected frame and the document.
    void Load();
    // Rebuilds the selector's entries (the frame list changed).
    void RebuildSelector();
    // Moves the selector to the engine's selection.
    void ShowSelection();
    // Flat buttons (the preference) or raised ones.
    void SetFlat(bool flat);

    QComboBox* selector() const { return selector_; }
    QLineEdit* delayEdit() const { return delay_; }
    QLineEdit* playCountEdit() const { return playCount_; }
    QAction* Button(CommandId id) const;

signals:
    // A button of this bar was pressed: run its command.
    void commandRequested(int id, bool checked);
    // A field or the selector changed the engine: refresh what the flags name.
    void changed(uint32_t refresh);

private:
    void DelayTyped(const QString& text);
    void PlayCountTyped(const QString& text);
    void EntryChosen(int entry);
    QAction* Own(CommandId id, bool checkable);

    Engine& engine_;
    QComboBox* selector_;
    QLineEdit* delay_;
    QLineEdit* playCount_;
    QLabel* delayIcon_;
    QLabel* playCountIcon_;
    QActionGroup* disposal_;
    QList<QAction*> own_;
    bool loading_ = false;
};

}  // namespace cinemill
