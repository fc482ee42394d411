#include "cinemill/ui/command_handlers.h"

#include <map>

#include "cinemill/base/ui_host.h"

namespace cinemill {

namespace {

// Built on first use: handlers register from static initialisers in other
// files, whose order is not known.
std::map<CommandId, CommandHandler>& Handlers() {
    static std::map<CommandId, CommandHandler> handlers;
    return handlers;
}

}  // namespace

bool RegisterCommandHandler(CommandId id, CommandHandler handler) {
    Handlers()[id] = std::move(handler);
    return true;
}

const CommandHandler* FindCommandHandler(CommandId id) {
    const auto& handlers = Handlers();
    const auto it = handlers.find(id);
    return it == handlers.end() ? nullptr : &it->second;
}

CommandResult Refuse(Engine& engine) {
    engine.Host().Beep();
    return {Result::Failed, 0};
}

}  // namespace cinemill
