#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cinemill {

// ---- answers of the import and export option dialogs ----------------------------

// "Handling of PSD Layers".
struct PsdLayerChoice {
    enum class Mode { Composite, BlendWithBackground, BlendWithComposite };
    Mode mode = Mode::Composite;
    bool keepBackground = false;  // with BlendWithBackground only
    friend bool operator==(const PsdLayerChoice&, const PsdLayerChoice&) = default;
};

// "Exporting GIF Filmstrip".
struct FilmstripExportOptions {
    bool vertical = false;
    int framesPerStrip = 1;
    friend bool operator==(const FilmstripExportOptions&, const FilmstripExportOptions&) = default;
};

// "Import Filmstrip".
struct FilmstripImportOptions {
    int framesPerRow = 1;
    int framesPerColumn = 1;
    bool vertical = false;
    friend bool operator==(const FilmstripImportOptions&, const FilmstripImportOptions&) = default;
};

// "AVI Compression": none, RLE8 by our own encoder, or a named FFmpeg encoder.
struct AviCompressionChoice {
    enum class Kind { None, Rle8, Codec };
    Kind kind = Kind::Rle8;
    std::string codec;  // with Codec
};

// Answer of a Yes/No/Cancel (or OK/Cancel, OK = Yes) question.
enum class Answer { Yes, No, Cancel };

// Everything the core needs to tell or ask the user. The Qt layer answers
// with dialogs, the command line with flags and stderr, tests with a script.
class UiHost {
public:
    virtual ~UiHost() = default;
    // A message box captioned "Error" with the warning icon.
    virtual void Error(const std::string& text) = 0;
    // A warning Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;

    // ---- the editor's messages, questions and file dialogs ----
    // A warning box with its own caption (the check messages of fields).
    virtual void Message(const std::string& text, const std::string& /*caption*/) { Error(text); }
    // A Yes/No/Cancel question with the warning icon; Cancel without a dialog.
    virtual Answer AskYesNoCancel(const std::string& /*text*/, const std::string& /*caption*/) {
        return Answer::Cancel;
    }
    // An OK/Cancel question with the warning icon; true for OK.
    virtual bool AskOkCancel(const std::string& text, const std::string& caption) {
        return AskYesNo(text, caption);
    }
    // The open dialog (several files allowed): the chosen paths, empty for
    // Cancel. `filter` holds description and pattern pairs.
    virtual std::vector<std::string> AskOpenFiles(
        const std::string& /*title*/, const std::vector<std::pair<std::string, std::string>>& /*filter*/) {
        return {};
    }
    // The save dialog: the chosen path, none for Cancel. `start` is the
    // suggested path (may be empty).
    virtual std::optional<std::string> AskSavePath(const std::string& /*title*/,
                                                   const std::string& /*filter_pattern*/,
                                                   const std::string& /*start*/) {
        return std::nullopt;
    }
    // The error sound (Cut, Copy, Delete without a selected frame).
    virtual void Beep() {}

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

    // Option dialogs of the import and export formats. Each gets the preset
    // values and answers the chosen ones, or none for Cancel. The defaults
    // accept the presets without asking.
    virtual std::optional<PsdLayerChoice> AskPsdLayers(const PsdLayerChoice& preset) { return preset; }
    virtual std::optional<FilmstripExportOptions> AskFilmstripExport(
        const FilmstripExportOptions& preset, int /*frame_count*/) {
        return preset;
    }
    virtual std::optional<FilmstripImportOptions> AskFilmstripImport(
        const FilmstripImportOptions& preset) {
        return preset;
    }
    // `codecs` names the FFmpeg encoders that can go into an AVI here.
    virtual std::optional<AviCompressionChoice> AskAviCompression(
        const std::vector<std::string>& /*codecs*/) {
        return AviCompressionChoice{};
    }
    // "Define Cursor HotSpot": OK and Cancel both keep the shown point.
    virtual std::pair<int, int> AskHotspot(int x, int y, int /*width*/, int /*height*/) {
        return {x, y};
    }
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

    // Captioned messages ("caption: text"), Yes/No/Cancel answers (Cancel
    // when empty), open-dialog answers (Cancel when empty), save-dialog
    // answers (Cancel when empty), beeps.
    std::vector<std::string> messages;
    std::deque<Answer> choices;
    std::deque<std::vector<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::vector<std::string> saveStarts;
    int beeps = 0;

    void Message(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
    }
    Answer AskYesNoCancel(const std::string& text, const std::string&) override {
        questions.push_back(text);
        if (choices.empty()) return Answer::Cancel;
        const Answer a = choices.front();
        choices.pop_front();
        return a;
    }
    std::vector<std::string> AskOpenFiles(
        const std::string&, const std::vector<std::pair<std::string, std::string>>&) override {
        if (openAnswers.empty()) return {};
        auto a = openAnswers.front();
        openAnswers.pop_front();
        return a;
    }
    std::optional<std::string> AskSavePath(const std::string&, const std::string&,
                                           const std::string& start) override {
        saveStarts.push_back(start);
        if (saveAnswers.empty()) return std::nullopt;
        auto a = saveAnswers.front();
        saveAnswers.pop_front();
        return a;
    }
    void Beep() override { ++beeps; }

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


    // Option dialogs: each question is counted; an answer is taken from its
    // queue (an empty optional there means Cancel), the preset when empty.
    int psdLayerQuestions = 0, filmstripExportQuestions = 0, filmstripImportQuestions = 0,
        aviCompressionQuestions = 0, hotspotQuestions = 0;
    std::deque<std::optional<PsdLayerChoice>> psdLayerAnswers;
    std::deque<std::optional<FilmstripExportOptions>> filmstripExportAnswers;
    std::deque<std::optional<FilmstripImportOptions>> filmstripImportAnswers;
    std::deque<std::optional<AviCompressionChoice>> aviCompressionAnswers;
    std::deque<std::pair<int, int>> hotspotAnswers;

    std::optional<PsdLayerChoice> AskPsdLayers(const PsdLayerChoice& preset) override {
        ++psdLayerQuestions;
        return Next(psdLayerAnswers, preset);
    }
    std::optional<FilmstripExportOptions> AskFilmstripExport(const FilmstripExportOptions& preset,
                                                             int) override {
        ++filmstripExportQuestions;
        return Next(filmstripExportAnswers, preset);
    }
    std::optional<FilmstripImportOptions> AskFilmstripImport(
        const FilmstripImportOptions& preset) override {
        ++filmstripImportQuestions;
        return Next(filmstripImportAnswers, preset);
    }
    std::optional<AviCompressionChoice> AskAviCompression(const std::vector<std::string>&) override {
        ++aviCompressionQuestions;
        return Next(aviCompressionAnswers, AviCompressionChoice{});
    }
    std::pair<int, int> AskHotspot(int x, int y, int, int) override {
        ++hotspotQuestions;
        if (hotspotAnswers.empty()) return {x, y};
        auto a = hotspotAnswers.front();
        hotspotAnswers.pop_front();
        return a;
    }

private:
    static uint32_t Next(std::deque<uint32_t>& q, uint32_t fallback) {
        if (q.empty()) return fallback;
        const uint32_t v = q.front();
        q.pop_front();
        return v;
    }
    template <class T>
    static std::optional<T> Next(std::deque<std::optional<T>>& q, const T& preset) {
        if (q.empty()) return preset;
        auto a = q.front();
        q.pop_front();
        return a;
    }
};

}  // namespace cinemill
