#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace branchwork {

// Icon of a message box.
enum class MessageIcon { Error, Information, Confirmation };

// Everything branchwork's core needs to tell or ask the user. The Qt layer
// answers with dialogs, the command line with flags and stderr, tests with
// BwScriptedUiHost.
class BwUiHost {
public:
    virtual ~BwUiHost() = default;

    // A modal message box with an OK button.
    virtual void Message(const std::string& text, MessageIcon icon) = 0;
    // An OK/Cancel confirmation; true for OK.
    virtual bool ConfirmOkCancel(const std::string& text) = 0;

    // The output-options dialog: true = node information inside the applet,
    // false = external content files, nothing = Cancel.
    virtual std::optional<bool> AskOutputOptions() { return true; }
    // The graphics-directory dialog, shown with the page directory; answers
    // the directory the images are copied to.
    virtual std::string AskGraphicsDirectory(const std::string& page_dir) { return page_dir; }
    // The get-file-name dialog: the full path of the HTML page the applet goes
    // into. Nothing when no answer can be had (the caller then stops).
    virtual std::optional<std::string> AskPageFileName() { return std::nullopt; }

    // Window and cursor effects around long host calls; no-ops by default.
    virtual void SetBusy(bool) {}
    virtual void MinimizeWindow() {}
    virtual void RestoreWindow() {}
};

// A host that records every message and question and answers from queues.
class BwScriptedUiHost : public BwUiHost {
public:
    struct Shown {
        std::string text;
        MessageIcon icon;
    };
    std::vector<Shown> messages;
    std::vector<std::string> confirmations;
    // Every interaction in order, for checking the sequence of a flow:
    // "message:TEXT", "confirm:TEXT", "output-options", "graphics-dir:DIR",
    // "page-file", "minimize", "restore".
    std::vector<std::string> log;

    std::deque<bool> confirmAnswers;                       // empty: Cancel
    std::deque<std::optional<bool>> outputOptionAnswers;   // empty: inside the applet
    std::deque<std::string> graphicsDirAnswers;            // empty: the page directory
    std::deque<std::optional<std::string>> pageFileAnswers;  // empty: nothing

    void Message(const std::string& text, MessageIcon icon) override {
        messages.push_back({text, icon});
        log.push_back("message:" + text);
    }
    bool ConfirmOkCancel(const std::string& text) override {
        confirmations.push_back(text);
        log.push_back("confirm:" + text);
        if (confirmAnswers.empty()) return false;
        const bool a = confirmAnswers.front();
        confirmAnswers.pop_front();
        return a;
    }
    std::optional<bool> AskOutputOptions() override {
        log.push_back("output-options");
        if (outputOptionAnswers.empty()) return true;
        auto a = outputOptionAnswers.front();
        outputOptionAnswers.pop_front();
        return a;
    }
    std::string AskGraphicsDirectory(const std::string& page_dir) override {
        log.push_back("graphics-dir:" + page_dir);
        if (graphicsDirAnswers.empty()) return page_dir;
        auto a = graphicsDirAnswers.front();
        graphicsDirAnswers.pop_front();
        return a;
    }
    std::optional<std::string> AskPageFileName() override {
        log.push_back("page-file");
        if (pageFileAnswers.empty()) return std::nullopt;
        auto a = pageFileAnswers.front();
        pageFileAnswers.pop_front();
        return a;
    }
    void MinimizeWindow() override { log.push_back("minimize"); }
    void RestoreWindow() override { log.push_back("restore"); }

    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& m : messages) t.push_back(m.text);
        return t;
    }
};

}  // namespace branchwork
