#pragma once

#include <functional>

#include "cinemill/app/command_id.h"
#include "cinemill/app/engine.h"

class QWidget;

namespace cinemill {

// What a command's handler works with: the window its dialogs belong to and
// the engine that carries the change out.
struct CommandContext {
    QWidget* parent = nullptr;
    Engine& engine;
};

// A command that needs more than Engine::Execute, usually a dialog first. It
// answers what the engine call answered (Stopped when the user cancelled),
// so the main window refreshes what the flags name.
using CommandHandler = std::function<CommandResult(CommandContext&)>;

// Registers the handler of `id`; a later registration replaces an earlier
// one. Answers true, so that a source file can register from the
// initialiser of a static:
//   const bool registered = RegisterCommandHandler(CommandId::Resize, RunResize);
bool RegisterCommandHandler(CommandId id, CommandHandler handler);

// The handler registered for `id`, or nullptr: the main window then calls
// Engine::Execute(id).
const CommandHandler* FindCommandHandler(CommandId id);

// A beep and Failed: what a handler answers when there is nothing for its
// command to work on.
CommandResult Refuse(Engine& engine);

// Shows the handler's dialog modally and answers the outcome it recorded.
template <class Dialog>
CommandResult ShowModal(Dialog& dialog) {
    dialog.exec();
    return dialog.Outcome();
}

}  // namespace cinemill
