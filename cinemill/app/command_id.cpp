#include "cinemill/app/command_id.h"

namespace cinemill {

std::optional<RotateOp> RotateOpOf(int id) {
    // Rotate All ids are the Rotate ids plus 31.
    if (id >= Id(CommandId::RotateAll90Cw) && id <= Id(CommandId::RotateAllFlipV)) id -= 31;
    switch (id) {
        case Id(CommandId::Rotate180): return RotateOp::Turn180;
        case Id(CommandId::Rotate90Cw): return RotateOp::Cw90;
        case Id(CommandId::Rotate90Ccw): return RotateOp::Ccw90;
        case Id(CommandId::FlipH): return RotateOp::FlipH;
        case Id(CommandId::FlipV): return RotateOp::FlipV;
        default: return std::nullopt;
    }
}

RotateOp InverseOf(RotateOp op) {
    if (op == RotateOp::Cw90) return RotateOp::Ccw90;
    if (op == RotateOp::Ccw90) return RotateOp::Cw90;
    return op;
}

}  // namespace cinemill
