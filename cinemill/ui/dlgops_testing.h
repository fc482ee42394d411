#pragma once

// What the dialog tests share: an engine over a corpus file with a
// scripted host, and the written GIF bytes of a document.

#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "cinemill/app/engine.h"
#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_writer.h"

namespace cinemill::testing {

inline std::string Corpus(const char* rel) { return std::string(CM_CORPUS_DIR) + "/" + rel; }
inline const char* kWaves = "libnsgif/test/data/waves.gif";      // 268 x 86, 10 frames
inline const char* kWelcome = "giflib/pic/welcome2.gif";         // 290 x 48, 6 frames, local palettes

inline const char* kRedBlue = "wuffs/test/data/animated-red-blue.gif";
inline const char* kFire = "giflib/pic/fire.gif";

// What the writer makes of a copy of the document; empty when it fails.
inline std::vector<uint8_t> GifBytes(const Animation& doc) {
    auto copy = CopyAnimation(doc);
    VectorSink sink;
    SilentProgress p;
    if (WriteGif(sink, *copy, p) != Result::Done) return {};
    return sink.bytes;
}

// An engine with the file open and its tasks finished.
struct Session {
    PreferenceBlock prefs;
    ScriptedUiHost host;
    MemoryClipboard clipboard;
    Engine engine{prefs, host, clipboard};
    explicit Session(const char* rel) {
        ok = engine.Open({Corpus(rel)}).Ok();
        engine.WaitTasks();
    }
    std::vector<uint8_t> Bytes() {
        engine.WaitTasks();
        return GifBytes(*engine.Doc());
    }
    bool ok = false;
};

}  // namespace cinemill::testing
