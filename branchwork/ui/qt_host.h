#pragma once

#include <QPointer>
#include <QWidget>

#include "branchwork/base/ui_host.h"
#include "branchwork/ui/prompts.h"

namespace branchwork {

// The core's questions answered with message boxes and the builder's dialogs.
class QtUiHost : public BwUiHost {
public:
    QPointer<QWidget> window;
    void Message(const std::string& text, MessageIcon icon) override;
    bool ConfirmOkCancel(const std::string& text) override;
    std::optional<bool> AskOutputOptions() override;
    std::string AskGraphicsDirectory(const std::string& page_dir) override;
    std::optional<std::string> AskPageFileName() override;
    void SetBusy(bool on) override;
    void MinimizeWindow() override;
    void RestoreWindow() override;
};

// The main window's own questions answered with dialogs.
class QtPrompts : public BwPrompts {
public:
    QPointer<QWidget> window;
    AppletKind AskNewAppletKind() override;
    bool AskQuit() override;
    std::optional<std::string> AskOpenFile(const std::string& title, const std::string& filter,
                                           const std::string& start) override;
    std::vector<std::string> AskOpenFiles(const std::string& filter, const std::string& start) override;
    std::optional<std::string> AskSaveFile(const std::string& filter) override;
    std::optional<Color> PickColor(Color current) override;
    void OpenUrl(const std::string& url) override;
    std::optional<SendChoice> AskSendChoice(AppletKind kind, const SendChoice& start) override;
};

// "A|*.a;*.b|B|*.c" in the form of Qt's file dialogs: "A (*.a *.b);;B (*.c)".
QString QtFileFilter(const std::string& filter);

}  // namespace branchwork
