#pragma once
// The commands that read IN, change it and write OUT ("CMD IN ... -o OUT"):
// their words and options, and the read-edit-write step they share.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cinemill/base/ui_host.h"
#include "cinemill/cli/cli_common.h"

namespace cinemill::cli {

// A whole decimal (or hexadecimal with `hex`) number; none otherwise.
std::optional<long long> ParseWhole(const std::string& s, bool hex = false);

// A whole decimal number from lo to hi; none otherwise.
std::optional<int> ParseIntIn(const std::string& s, long long lo, long long hi);

// Options met on the command line with their values, in order.
using OptionValues = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Splits "IN ... -o OUT": positional words, the output path and the
// `known` options (name, number of values). False on an unknown option, a
// missing value, or no output or input.
bool SplitInOut(const Args& args, std::vector<std::string>& words, std::string& out, OptionValues& options,
                const std::vector<std::pair<std::string, int>>& known);

// Reads IN, applies `edit`, writes OUT. `edit` answers an exit status.
template <typename Edit>
int EditFile(const std::string& in, const std::string& out, Edit edit) {
    RecordingHost host(true);
    auto r = LoadAnimation(in, host);
    if (!r.animation) return kExitFailed;
    const int rc = edit(*r.animation, host);
    if (rc != kExitOk) return rc;
    return SaveOutput(out, *r.animation, host, r.result);
}

}  // namespace cinemill::cli
