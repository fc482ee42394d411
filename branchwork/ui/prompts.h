#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "branchwork/host/send.h"
#include "branchwork/model/project.h"

namespace branchwork {

// What the output-options dialog answers for one Send: the form (applet
// markup or HTML menu, the HTML menu's script and style inline or as files
// next to the page) and, for the applet form of the Tree kinds, where the
// node information goes.
struct SendChoice {
    SendOptions options;
    bool nodeInfoInApplet = true;
    bool operator==(const SendChoice& o) const {
        return options.htmlMenu == o.options.htmlMenu && options.externalFiles == o.options.externalFiles &&
               nodeInfoInApplet == o.nodeInfoInApplet;
    }
};

// The questions of the main window that are not part of the core's
// BwUiHost: file dialogs, the new-applet and quit questions, the colour
// picker, the browser. The program answers them with dialogs; tests with
// ScriptedPrompts, so that no test waits on a modal window.
class BwPrompts {
public:
    virtual ~BwPrompts() = default;
    virtual AppletKind AskNewAppletKind() = 0;
    virtual bool AskQuit() = 0;
    virtual std::optional<std::string> AskOpenFile(const std::string& title, const std::string& filter,
                                                   const std::string& start) = 0;
    virtual std::vector<std::string> AskOpenFiles(const std::string& filter, const std::string& start) = 0;
    virtual std::optional<std::string> AskSaveFile(const std::string& filter) = 0;
    virtual std::optional<Color> PickColor(Color current) = 0;
    virtual void OpenUrl(const std::string& url) = 0;
    // The output-options dialog of a Send, showing `start`; nothing = Cancel.
    virtual std::optional<SendChoice> AskSendChoice(AppletKind kind, const SendChoice& start) = 0;
};

// Answers from queues and records what was asked, in order.
class ScriptedPrompts : public BwPrompts {
public:
    std::deque<AppletKind> kinds;                     // empty: TabAndTree (the dialog's default)
    std::deque<bool> quitAnswers;                     // empty: No
    std::deque<std::optional<std::string>> openFiles; // empty: Cancel
    std::deque<std::vector<std::string>> openManyFiles;
    std::deque<std::optional<std::string>> saveFiles;
    std::deque<std::optional<Color>> colors;          // empty: Cancel
    std::deque<std::optional<SendChoice>> sendChoices;  // empty: OK on what the dialog shows
    std::vector<std::string> log;
    std::vector<std::string> urls;

    AppletKind AskNewAppletKind() override { return Pop(kinds, AppletKind::TabAndTree, "new-applet"); }
    bool AskQuit() override { return Pop(quitAnswers, false, "quit"); }
    std::optional<std::string> AskOpenFile(const std::string& title, const std::string& filter,
                                           const std::string&) override {
        return Pop(openFiles, std::optional<std::string>(), "open:" + title + ":" + filter);
    }
    std::vector<std::string> AskOpenFiles(const std::string& filter, const std::string&) override {
        return Pop(openManyFiles, std::vector<std::string>(), "open-many:" + filter);
    }
    std::optional<std::string> AskSaveFile(const std::string& filter) override {
        return Pop(saveFiles, std::optional<std::string>(), "save:" + filter);
    }
    std::optional<Color> PickColor(Color) override { return Pop(colors, std::optional<Color>(), "color"); }
    std::optional<SendChoice> AskSendChoice(AppletKind, const SendChoice& start) override {
        return Pop(sendChoices, std::optional<SendChoice>(start), "send-form");
    }
    void OpenUrl(const std::string& url) override {
        log.push_back("url:" + url);
        urls.push_back(url);
    }

private:
    template <class T>
    T Pop(std::deque<T>& q, T fallback, const std::string& what) {
        log.push_back(what);
        if (q.empty()) return fallback;
        T v = q.front();
        q.pop_front();
        return v;
    }
};

}  // namespace branchwork
