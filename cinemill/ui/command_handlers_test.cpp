#include "cinemill/ui/command_handlers.h"

#include <QTest>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"

namespace cinemill {

class CommandHandlersTest : public QObject {
    Q_OBJECT
private slots:
    void LaterRegistrationReplacesEarlier() {
        QVERIFY(FindCommandHandler(CommandId::Html) == nullptr);
        int called = 0;
        RegisterCommandHandler(CommandId::Html, [&](CommandContext&) {
            called = 1;
            return CommandResult{};
        });
        RegisterCommandHandler(CommandId::Html, [&](CommandContext&) {
            called = 2;
            return CommandResult{Result::Stopped, 0};
        });
        const CommandHandler* h = FindCommandHandler(CommandId::Html);
        QVERIFY(h != nullptr);
        PreferenceBlock prefs;
        SilentUiHost host;
        MemoryClipboard clipboard;
        Engine engine(prefs, host, clipboard);
        CommandContext ctx{nullptr, engine};
        QCOMPARE((*h)(ctx).result, Result::Stopped);
        QCOMPARE(called, 2);
        QVERIFY(FindCommandHandler(CommandId::Save) == nullptr);
    }
};

}  // namespace cinemill

QTEST_MAIN(cinemill::CommandHandlersTest)
#include "command_handlers_test.moc"
