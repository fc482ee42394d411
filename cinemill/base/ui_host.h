#pragma once

#include <cstdint>
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

    // ---- palette merging and insertion questions ----
    // The "Color Palette Merging" question. `current` is the merging
    // preference word; the answer is the chosen word (0x200 still set when
    // the user wants to be asked again), or 0 for Cancel. Without a dialog
    // the current preference stands.
    virtual uint32_t AskPaletteMerge(uint32_t current) { return current; }
    // The frame-size conflict question: 0x10 clip or 0x20 enlarge, with 0x04
    // when it should be asked again; 0 for Cancel. Without a dialog the
    // current preference stands.
    virtual uint32_t AskFrameSizeConflict(uint32_t current) { return current; }
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

    // Merge and frame-size questions: counted, answered from their queues
    // (the current preference when a queue is empty).
    int mergeQuestions = 0;
    int sizeQuestions = 0;
    std::deque<uint32_t> mergeAnswers;
    std::deque<uint32_t> sizeAnswers;
    uint32_t AskPaletteMerge(uint32_t current) override {
        ++mergeQuestions;
        return Next(mergeAnswers, current);
    }
    uint32_t AskFrameSizeConflict(uint32_t current) override {
        ++sizeQuestions;
        return Next(sizeAnswers, current);
    }

private:
    static uint32_t Next(std::deque<uint32_t>& q, uint32_t fallback) {
        if (q.empty()) return fallback;
        const uint32_t v = q.front();
        q.pop_front();
        return v;
    }
};

}  // namespace cinemill
