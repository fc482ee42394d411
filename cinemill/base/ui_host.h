#pragma once

#include <deque>
#include <string>
#include <vector>

namespace cinemill {

// Everything the core needs to tell or ask the user. The Qt layer answers
// with dialogs, the command line with flags and stderr, tests with a script.
class UiHost {
public:
    virtual ~UiHost() = default;
    // A message box captioned "Error" with the warning icon.
    virtual void Error(const std::string& text) = 0;
    // A warning Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;
};

// A host that answers nothing and says nothing: errors are dropped and
// questions answered with a fixed value.
class SilentUiHost : public UiHost {
public:
    explicit SilentUiHost(bool answer = false) : answer_(answer) {}
    void Error(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return answer_; }

private:
    bool answer_;
};

// Records every message and question; answers from a queue (No when empty).
class ScriptedUiHost : public UiHost {
public:
    std::vector<std::string> errors;
    std::vector<std::string> questions;
    std::deque<bool> answers;

    void Error(const std::string& text) override { errors.push_back(text); }
    bool AskYesNo(const std::string& text, const std::string&) override {
        questions.push_back(text);
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace cinemill
