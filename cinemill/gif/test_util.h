#pragma once
// Helpers shared by the GIF tests.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cinemill/base/preferences.h"
#include "cinemill/base/ui_host.h"
#include "cinemill/gif/gif_reader.h"
#include "cinemill/gif/gif_writer.h"

namespace cinemill::testing {

inline std::filesystem::path CorpusDir() { return CM_CORPUS_DIR; }

inline std::vector<uint8_t> FileBytes(const std::filesystem::path& p) {
    std::vector<uint8_t> out;
    ReadWholeFile(p.string(), out);
    return out;
}

struct Read {
    ReadOutcome outcome;
    ScriptedUiHost host;
};

inline Read ReadBytes(const std::vector<uint8_t>& bytes,
                      const PreferenceBlock& prefs = PreferenceBlock()) {
    Read r;
    SilentProgress progress;
    r.outcome = ReadGif(bytes, r.host, progress, prefs);
    return r;
}

inline std::vector<uint8_t> WriteBytes(Animation& a) {
    VectorSink sink;
    SilentProgress progress;
    WriteGif(sink, a, progress);
    return sink.bytes;
}

// Every GIF file under a corpus folder, sorted.
inline std::vector<std::filesystem::path> GifsUnder(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    if (!std::filesystem::exists(dir, ec)) return out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file() && e.path().extension() == ".gif") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace cinemill::testing
