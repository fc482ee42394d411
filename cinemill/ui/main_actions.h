#pragma once

#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QString>

#include <optional>
#include <string>
#include <vector>

#include "cinemill/app/command_id.h"
#include "cinemill/app/menu_state.h"
#include "cinemill/base/strings.h"

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QToolBar;

namespace cinemill {

// The tool tip of a tool bar button: the string whose number belongs to the
// button's command; none for ids without a button.
std::optional<StringId> ToolTipOf(CommandId id);
// The button's picture (a resource of the SVG drawn for it); empty for ids
// without one.
QString IconPathOf(CommandId id);

// The menu bar's actions: every item of the command table carries its
// command id as its data and the id's name as its objectName, so tests and
// the dispatch find it by either. The main tool bar's buttons are the same
// actions.
class MainActions {
public:
    // Builds the menu bar of `window`.
    explicit MainActions(QMainWindow* window);

    QAction* Action(CommandId id) const { return byId_.value(Id(id), nullptr); }
    const QHash<int, QAction*>& All() const { return byId_; }
    QList<QMenu*> Menus() const { return menus_; }

    QMenu* fileMenu = nullptr;
    QMenu* exportAsMenu = nullptr;
    QMenu* rotateMenu = nullptr;
    QMenu* rotateAllMenu = nullptr;
    QMenu* downloadMenu = nullptr;

    // Grays and checks the items; Undo and Redo take the history's texts.
    void Apply(const MenuState& state, const std::string& undo_text, const std::string& redo_text);
    // The File menu's recent entries ("&1: PATH", ids from 40150), before Exit.
    void SetRecentEntries(const std::vector<std::string>& texts);
    QList<QAction*> RecentActions() const { return recent_; }
    // View > Download Time, rebuilt from its item texts.
    void SetDownloadItems(const std::vector<std::pair<int, std::string>>& items, int checked_id);

    // The main tool bar with its buttons in order, tips and pictures.
    QToolBar* BuildMainToolBar(QMainWindow* window);

private:
    QAction* Add(QMenu* menu, CommandId id, const QString& text, QList<QKeySequence> keys = {},
                 bool checkable = false);
    QHash<int, QAction*> byId_;
    QList<QMenu*> menus_;
    QList<QAction*> recent_;
    QAction* recentSeparator_ = nullptr;
    QAction* exitAction_ = nullptr;
    QActionGroup* orientation_ = nullptr;
    QActionGroup* zoom_ = nullptr;
    QActionGroup* transparency_ = nullptr;
};

}  // namespace cinemill
