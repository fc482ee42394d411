// cinemill-cli edit: runs editor commands by name through the editor engine,
// exactly as the window's menus and tool bars do.
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cinemill/app/command_id.h"
#include "cinemill/app/engine.h"
#include "cinemill/app/engine_views.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/cli/cli_common.h"
#include "cinemill/imaging/geometry.h"

namespace cinemill::cli {
namespace {

// One step as given: its name and its arguments.
struct Step {
    std::string name;
    std::vector<std::string> args;
    std::string Label() const {
        std::string s = name;
        for (const auto& a : args) s += " " + a;
        return s;
    }
};

std::optional<long long> Number(const std::string& s) {
    if (s.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return v;
}

// Questions are answered from the --answer queue; with none left the
// question is answered No or Cancel, so the command is cancelled.
class EditHost : public UiHost {
public:
    std::deque<Answer> answers;
    std::string step;
    bool trace = false;

    void Error(const std::string& text) override { std::cerr << "cinemill-cli: " << text << "\n"; }
    void Message(const std::string& text, const std::string& caption) override {
        std::cerr << "cinemill-cli: " << caption << ": " << text << "\n";
    }
    bool AskYesNo(const std::string& text, const std::string&) override {
        return Take(text, false) == Answer::Yes;
    }
    bool AskOkCancel(const std::string& text, const std::string&) override {
        return Take(text, true) == Answer::Yes;
    }
    Answer AskYesNoCancel(const std::string& text, const std::string&) override { return Take(text, true); }
    void Beep() override { std::cerr << "cinemill-cli: edit: " << step << ": no frame selected\n"; }

private:
    Answer Take(const std::string& question, bool cancel_form) {
        if (answers.empty()) {
            std::cerr << "cinemill-cli: edit: " << step << ": no answer left for \"" << question
                      << "\"; cancelled\n";
            return cancel_form ? Answer::Cancel : Answer::No;
        }
        const Answer a = answers.front();
        answers.pop_front();
        if (trace)
            std::cout << "[" << step << "] question: " << question << " -> "
                      << (a == Answer::Yes ? "yes" : a == Answer::No ? "no" : "cancel") << "\n";
        return a;
    }
};

// The preferences file: one "SLOT=VALUE" line per preference slot (0 to
// 12, decimal or 0x hexadecimal values), '#' starts a comment line.
bool LoadPrefsFile(const std::string& path, PreferenceBlock& prefs) {
    std::ifstream in(path);
    if (!in) {
        std::cerr << "cinemill-cli: edit: cannot read preferences file " << path << "\n";
        return false;
    }
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        const auto slot = eq == std::string::npos ? std::nullopt : Number(line.substr(0, eq));
        char* end = nullptr;
        const std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
        errno = 0;
        const unsigned long long v = std::strtoull(value.c_str(), &end, 0);
        if (!slot || *slot < 0 || *slot >= PreferenceBlock::kSlotCount || value.empty() || *end != '\0' ||
            errno != 0 || v > 0xFFFFFFFFull) {
            std::cerr << "cinemill-cli: edit: " << path << " line " << n << ": expected SLOT=VALUE\n";
            return false;
        }
        prefs.Set(static_cast<int>(*slot), static_cast<uint32_t>(v));
    }
    return true;
}

// Steps and the number of words each takes after its name.
struct StepDef {
    const char* name;
    int args;
};
constexpr StepDef kSteps[] = {
    {"select", 1}, {"delete", 0},   {"cut", 0},        {"copy", 0},       {"paste", 0},
    {"undo", 0},   {"redo", 0},     {"move", 2},       {"delay", 1},      {"disposal", 1},
    {"transparency", 1}, {"interlace", 1}, {"loop", 1}, {"reverse", 0},   {"rotate", 1},
    {"rotate-all", 1},   {"resize", 2},    {"crop", 4}, {"reduce", 1},    {"optimize", 0},
    {"unoptimize", 0},   {"comment", 2},   {"insert", 1}, {"save", 0},    {"save-as", 1},
};

const StepDef* FindStep(const std::string& name) {
    for (const auto& s : kSteps)
        if (name == s.name) return &s;
    return nullptr;
}

std::optional<CommandId> RotateId(const std::string& op, bool all) {
    static const std::pair<const char*, CommandId> kOne[] = {
        {"90cw", CommandId::Rotate90Cw}, {"180", CommandId::Rotate180}, {"90ccw", CommandId::Rotate90Ccw},
        {"fliph", CommandId::FlipH},     {"flipv", CommandId::FlipV}};
    static const std::pair<const char*, CommandId> kAll[] = {
        {"90cw", CommandId::RotateAll90Cw}, {"180", CommandId::RotateAll180},
        {"90ccw", CommandId::RotateAll90Ccw}, {"fliph", CommandId::RotateAllFlipH},
        {"flipv", CommandId::RotateAllFlipV}};
    for (const auto& [n, id] : all ? kAll : kOne)
        if (op == n) return id;
    return std::nullopt;
}

// Checks the arguments of a step without a document; empty when fine,
// else what is wrong.
std::string CheckStep(const Step& s) {
    auto num = [&](size_t i, long long lo, long long hi) {
        const auto v = Number(s.args[i]);
        return v && *v >= lo && *v <= hi;
    };
    const std::string& n = s.name;
    if (n == "select" && s.args[0] != "none" && !num(0, 0, 65535)) return "expected a frame number or none";
    if (n == "move" && !(num(0, 0, 65535) && num(1, 0, 65536))) return "expected FROM and INSERTION frame numbers";
    if (n == "delay" && !num(0, 0, 65535)) return "expected a delay from 0 to 65535";
    if (n == "disposal" && !num(0, 1, 3)) return "expected 1, 2 or 3";
    if (n == "transparency" && s.args[0] != "off" && !num(0, 0, 255)) return "expected an index 0 to 255 or off";
    if (n == "interlace" && s.args[0] != "on" && s.args[0] != "off") return "expected on or off";
    if (n == "loop" && !num(0, 0, 65536)) return "expected a play count from 0 to 65536";
    if ((n == "rotate" || n == "rotate-all") && !RotateId(s.args[0], false))
        return "expected 90cw, 180, 90ccw, fliph or flipv";
    if (n == "resize") {
        if (!num(0, 1, 65535) || !num(1, 1, 65535)) return "expected WIDTH and HEIGHT from 1 to 65535";
        if (s.args.size() > 2 && s.args[2] != "nearest" && s.args[2] != "bicubic")
            return "expected nearest or bicubic";
    }
    if (n == "crop" && !(num(0, 0, 65535) && num(1, 0, 65535) && num(2, 1, 65535) && num(3, 1, 65535)))
        return "expected LEFT TOP RIGHT BOTTOM";
    if (n == "reduce") {
        if (!num(0, 2, 256)) return "expected a colour count from 2 to 256";
        if (s.args.size() > 1 && s.args[1] != "dither" && s.args[1] != "nodither")
            return "expected dither or nodither";
    }
    if (n == "comment" && s.args[0] != "add") return "expected add TEXT";
    if (n == "comment" && s.args[1].size() > 254) return "the comment must be shorter than 255 characters";
    if ((n == "insert" || n == "save-as") && s.args[0].empty()) return "expected a file name";
    return {};
}

// Splits the words after the options into steps; the optional last word of
// resize (its method) and reduce (dither) is the next word unless that names
// a step.
bool ParseSteps(const std::vector<std::string>& words, std::vector<Step>& steps) {
    for (size_t i = 0; i < words.size();) {
        const StepDef* def = FindStep(words[i]);
        if (!def) {
            std::cerr << "cinemill-cli: edit: unknown step '" << words[i] << "'\n";
            return false;
        }
        Step s{words[i], {}};
        ++i;
        if (i + static_cast<size_t>(def->args) > words.size()) {
            std::cerr << "cinemill-cli: edit: step '" << s.name << "': expected " << def->args << " argument"
                      << (def->args == 1 ? "" : "s") << "\n";
            return false;
        }
        for (int k = 0; k < def->args; ++k) s.args.push_back(words[i++]);
        if (i < words.size() && (s.name == "resize" || s.name == "reduce") && !FindStep(words[i]))
            s.args.push_back(words[i++]);
        if (const std::string bad = CheckStep(s); !bad.empty()) {
            std::cerr << "cinemill-cli: edit: step '" << s.Label() << "': " << bad << "\n";
            return false;
        }
        steps.push_back(std::move(s));
    }
    return true;
}

int ToInt(const std::string& s) { return static_cast<int>(*Number(s)); }

// Runs one checked step. `usage` is set when its argument does not fit the
// document (a frame number beyond the last frame).
CommandResult RunStep(Engine& e, const Step& s, bool& usage) {
    const std::string& n = s.name;
    const int frames = e.State().FrameCount();
    if (n == "select") {
        const int i = s.args[0] == "none" ? -1 : ToInt(s.args[0]);
        if (i >= frames) {
            usage = true;
            return {Result::Failed, 0};
        }
        return e.Select(i);
    }
    if (n == "move") {
        if (ToInt(s.args[0]) >= frames || ToInt(s.args[1]) > frames) {
            usage = true;
            return {Result::Failed, 0};
        }
        return e.MoveFrame(ToInt(s.args[0]), ToInt(s.args[1]));
    }
    if (n == "delete") return e.Execute(CommandId::Delete);
    if (n == "cut") return e.Execute(CommandId::Cut);
    if (n == "copy") return e.Execute(CommandId::Copy);
    if (n == "paste") return e.Execute(CommandId::Paste);
    if (n == "undo") return e.Execute(CommandId::Undo);
    if (n == "redo") return e.Execute(CommandId::Redo);
    if (n == "reverse") return e.Execute(CommandId::ReverseOrder);
    if (n == "optimize") return e.Execute(CommandId::Optimize);
    if (n == "unoptimize") return e.Execute(CommandId::Unoptimize);
    if (n == "delay") return e.SetDelay(ToInt(s.args[0]));
    if (n == "disposal") return e.SetDisposal(ToInt(s.args[0]));
    if (n == "transparency")
        return e.SetTransparency(s.args[0] == "off" ? std::nullopt : std::optional<int>(ToInt(s.args[0])));
    if (n == "interlace") return e.SetInterlace(s.args[0] == "on");
    if (n == "loop") return e.SetPlayCount(ToInt(s.args[0]));
    if (n == "rotate" || n == "rotate-all") return e.Execute(*RotateId(s.args[0], n == "rotate-all"));
    if (n == "resize") {
        const bool bicubic = s.args.size() > 2 && s.args[2] == "bicubic";
        return e.Resize(ToInt(s.args[0]), ToInt(s.args[1]), bicubic ? ResizeMethod::Bicubic : ResizeMethod::Nearest);
    }
    if (n == "crop") {
        const Rect r{ToInt(s.args[0]), ToInt(s.args[1]), ToInt(s.args[2]), ToInt(s.args[3])};
        if (!e.Doc() || !CropRectValid(*e.Doc(), r)) {
            usage = true;
            return {Result::Failed, 0};
        }
        return e.Crop(r);
    }
    if (n == "reduce") return e.Reduce(ToInt(s.args[0]), s.args.size() > 1 && s.args[1] == "dither");
    if (n == "comment") return e.AddComment(s.args[1]);
    if (n == "insert") return e.Insert({s.args[0]});
    if (n == "save") return e.Save(false);
    if (n == "save-as") return e.Save(true, s.args[0]);
    return {Result::Failed, 0};
}

// A menu text without its mnemonic marker and accelerator.
std::string Plain(std::string text) {
    if (const size_t tab = text.find('\t'); tab != std::string::npos) text.resize(tab);
    std::string out;
    for (char c : text)
        if (c != '&') out += c;
    return out;
}

// Where the menu, tool bar and status bar state functions plug in: each
// answers the texts one --trace line shows (no line when empty).
void Trace(Engine& e, const Step& s, const CommandResult& r) {
    const std::string tag = "[" + s.Label() + "] ";
    // The file-size pane shows a count, not "Calculating...", in a trace.
    e.WaitTasks();
    std::cout << tag << "refresh: " << refresh::Names(r.refresh) << "\n";
    const AppState& st = e.State();
    std::cout << tag << "document: " << st.FrameCount() << " frames, selected " << st.selected
              << (st.modified ? ", modified" : ", not modified") << "\n";
    std::cout << tag << "undo: " << Plain(e.State().history.UndoText()) << "\n";
    std::cout << tag << "redo: " << Plain(e.State().history.RedoText()) << "\n";
    auto line = [&](const char* what, const std::vector<std::string>& items, const char* sep) {
        if (items.empty()) return;
        std::cout << tag << what << ": ";
        for (size_t i = 0; i < items.size(); ++i) std::cout << (i ? sep : "") << items[i];
        std::cout << "\n";
    };
    line("status", StatusTexts(e), " |");
    line("grayed", GrayedMenuItems(e), " ");
}

int Edit(const Args& args) {
    std::string in, out, prefsFile;
    bool trace = false;
    EditHost host;
    std::vector<std::string> words;
    size_t i = 0;
    for (; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        if (a == "-o" && i + 1 < args.rest.size()) out = args.rest[++i];
        else if (a == "--prefs" && i + 1 < args.rest.size()) prefsFile = args.rest[++i];
        else if (a == "--trace") trace = true;
        else if (a == "--answer" && i + 1 < args.rest.size()) {
            const std::string& v = args.rest[++i];
            if (v == "yes") host.answers.push_back(Answer::Yes);
            else if (v == "no") host.answers.push_back(Answer::No);
            else if (v == "cancel") host.answers.push_back(Answer::Cancel);
            else return UsageError("edit: --answer takes yes, no or cancel");
        } else if (a.starts_with("-") && a.size() > 1) return UsageError("edit: unknown option " + a);
        else if (in.empty()) in = a;
        else break;
    }
    if (in.empty()) return UsageError("edit: no input file");
    words.assign(args.rest.begin() + static_cast<ptrdiff_t>(i), args.rest.end());
    std::vector<Step> steps;
    if (!ParseSteps(words, steps)) return kExitUsage;

    PreferenceBlock prefs;
    if (!prefsFile.empty() && !LoadPrefsFile(prefsFile, prefs)) return kExitUsage;
    host.trace = trace;
    host.step = "open";
    MemoryClipboard clipboard;
    Engine engine(prefs, host, clipboard);
    if (!engine.Open({in}).Ok() || !engine.Doc()) return kExitFailed;

    for (const Step& s : steps) {
        host.step = s.Label();
        bool usage = false;
        const CommandResult r = RunStep(engine, s, usage);
        if (usage) {
            std::cerr << "cinemill-cli: edit: step '" << s.Label() << "': the document has "
                      << engine.State().FrameCount() << " frames"
                      << (s.name == "crop" ? " and a " + std::to_string(engine.Doc()->width) + " x " +
                                                 std::to_string(engine.Doc()->height) + " screen"
                                           : std::string())
                      << "\n";
            return kExitUsage;
        }
        if (trace) Trace(engine, s, r);
        if (r.result == Result::Failed) {
            std::cerr << "cinemill-cli: edit: step '" << s.Label() << "' failed\n";
            return kExitFailed;
        }
        if (r.result == Result::Stopped)
            std::cerr << "cinemill-cli: edit: step '" << s.Label() << "' cancelled\n";
    }
    if (!out.empty()) {
        host.step = "-o " + out;
        if (!engine.Save(true, out).Ok()) return kExitFailed;
    }
    return kExitOk;
}

const CommandRegistrar kEdit("edit",
                             "edit IN [-o OUT] [--prefs FILE] [--answer yes|no|cancel]... [--trace] STEP...",
                             Edit);

}  // namespace
}  // namespace cinemill::cli
