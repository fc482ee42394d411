#pragma once

// What cinemill-cli's commands share besides the command table and exit
// statuses (cinemill/base/command_line.h): the batch host, the defaults,
// reading and saving GIFs, option words several commands take.

#include <iostream>
#include <string>
#include <vector>

#include "cinemill/base/command_line.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/doc/render.h"
#include "cinemill/gif/gif_reader.h"

namespace cinemill::cli {

// Prints messages to stderr (when echoing) and keeps them; questions get
// the fixed answer.
class RecordingHost : public UiHost {
public:
    explicit RecordingHost(bool echo, bool answer = false) : echo_(echo), answer_(answer) {}
    std::vector<std::string> messages;
    void Error(const std::string& text) override {
        messages.push_back(text);
        if (echo_) std::cerr << "cinemill-cli: " << text << "\n";
    }
    bool AskYesNo(const std::string& text, const std::string&) override {
        if (echo_) std::cerr << "cinemill-cli: " << text << " -> " << (answer_ ? "Yes" : "No") << "\n";
        return answer_;
    }

private:
    bool echo_, answer_;
};

// Preferences for batch runs: the defaults.
const PreferenceBlock& Prefs();

// Reads an input file (a GIF) as the open command does; commands that have
// no use for the colour usage counts skip them.
ReadOutcome LoadAnimation(const std::string& path, UiHost& host, bool count_usage = true);

// True when `canvases` pictures of the animation's screen fit the memory
// budget; otherwise says "Not enough memory to build frame image.".
bool CanvasesFit(const Animation& a, int canvases, UiHost& host);

// Saves a GIF through a temporary file; the exit status also reflects a
// partly read input.
int SaveOutput(const std::string& path, Animation& a, UiHost& host, Result read_result);

// A whole decimal number.
bool ParseInt(const std::string& s, int& out);

// Reads the palette-merging option at args.rest[i] (--method, --dither,
// --colors, --truecolor-colors) into the merging preference word. Answers 1
// when it took the option (i is then on its last word), 0 when the word is
// not one of them, and -1 after a usage message for a bad value.
int TakeMergeOption(const Args& args, size_t& i, uint32_t& merging, const std::string& command);

// Mean over frames of the PSNR (dB) between the pictures two animations
// show, transparent canvas pixels taken as black; identical frames count as
// 100 dB. Both must have the same screen size. With as many frames the
// frames are paired in order; otherwise (an optimizer dropped frames that
// changed nothing and lengthened the delay before) each frame of `a` is
// paired with the picture `b` shows when that frame starts.
double MeanPsnr(const Animation& a, const Animation& b);

// A PAM file with TUPLTYPE RGB_ALPHA.
bool WritePam(const std::string& path, const RgbaImage& img);

}  // namespace cinemill::cli
