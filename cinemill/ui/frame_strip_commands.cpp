// The View menu's strip settings that the preferences keep: Transparency As
// (Custom Color asks for the colour first) and Orientation.
#include <QColor>
#include <QColorDialog>

#include "cinemill/ui/command_handlers.h"

namespace cinemill {

namespace {

QColor FromColorRef(uint32_t v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }
uint32_t ToColorRef(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}

CommandResult PickCustomColour(CommandContext& ctx) {
    // The dialog keeps its custom colours while the program runs.
    const QColor c = QColorDialog::getColor(FromColorRef(ctx.engine.TransparencyCustomColor()), ctx.parent, QString(),
                                            QColorDialog::DontUseNativeDialog);
    if (!c.isValid()) return {Result::Stopped, 0};
    return ctx.engine.SetTransparencyDisplay(2, ToColorRef(c));
}

const bool registered = [] {
    RegisterCommandHandler(CommandId::TransparencyWindow,
                           [](CommandContext& ctx) { return ctx.engine.SetTransparencyDisplay(0); });
    RegisterCommandHandler(CommandId::TransparencyFrameColor,
                           [](CommandContext& ctx) { return ctx.engine.SetTransparencyDisplay(1); });
    RegisterCommandHandler(CommandId::TransparencyCustom, PickCustomColour);
    for (CommandId id : {CommandId::OrientDefault, CommandId::OrientHorizontal, CommandId::OrientVertical})
        RegisterCommandHandler(id, [id](CommandContext& ctx) { return ctx.engine.SetOrientationChoice(id); });
    return true;
}();

}  // namespace

}  // namespace cinemill
