#include "cinemill/ui/frame_strip_menu.h"

#include <QAction>
#include <QMenu>
#include <vector>

#include "cinemill/app/engine.h"
#include "cinemill/app/engine_views.h"
#include "cinemill/app/strip_context_menu.h"
#include "cinemill/base/strings.h"
#include "cinemill/ui/dialog_parts.h"

namespace cinemill {

namespace {

constexpr const char* kCommandProperty = "cinemillCommand";

}  // namespace

void FillStripContextMenu(QMenu& menu, const Engine& engine) {
    std::vector<QMenu*> stack{&menu};
    for (const ContextMenuItem& item : StripContextMenu(MenuInputOf(engine))) {
        QMenu* into = stack.back();
        switch (item.kind) {
            case ContextMenuItem::Kind::Separator: into->addSeparator(); break;
            case ContextMenuItem::Kind::SubmenuStart: stack.push_back(into->addMenu(Tr(item.text))); break;
            case ContextMenuItem::Kind::SubmenuEnd:
                if (stack.size() > 1) stack.pop_back();
                break;
            case ContextMenuItem::Kind::Command: {
                QAction* a = into->addAction(Tr(item.text));
                a->setObjectName(QStringLiteral("cmd%1").arg(Id(item.id)));
                a->setProperty(kCommandProperty, Id(item.id));
                a->setEnabled(!item.grayed);
                break;
            }
        }
    }
}

std::optional<CommandId> StripMenuCommand(const QAction* action) {
    if (!action) return std::nullopt;
    const QVariant v = action->property(kCommandProperty);
    if (!v.isValid()) return std::nullopt;
    return static_cast<CommandId>(v.toInt());
}

}  // namespace cinemill
