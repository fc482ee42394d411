// The shared steps of the commands that read IN, change it and write OUT.
#include "cinemill/cli/edit_file.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>

namespace cinemill::cli {

std::optional<long long> ParseWhole(const std::string& s, bool hex) {
    if (s.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(s.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == s.c_str() || *end != '\0') return std::nullopt;
    return v;
}

std::optional<int> ParseIntIn(const std::string& s, long long lo, long long hi) {
    const auto v = ParseWhole(s);
    if (!v || *v < lo || *v > hi) return std::nullopt;
    return static_cast<int>(*v);
}

bool SplitInOut(const Args& args, std::vector<std::string>& words, std::string& out, OptionValues& options,
                const std::vector<std::pair<std::string, int>>& known) {
    for (size_t i = 0; i < args.rest.size(); ++i) {
        const std::string& a = args.rest[i];
        if (a == "-o") {
            if (i + 1 >= args.rest.size()) return false;
            out = args.rest[++i];
            continue;
        }
        bool matched = false;
        for (const auto& [name, count] : known) {
            if (a != name) continue;
            if (i + static_cast<size_t>(count) >= args.rest.size()) return false;
            std::vector<std::string> vals(args.rest.begin() + static_cast<ptrdiff_t>(i) + 1,
                                          args.rest.begin() + static_cast<ptrdiff_t>(i) + 1 + count);
            options.emplace_back(name, vals);
            i += static_cast<size_t>(count);
            matched = true;
        }
        if (matched) continue;
        if (a.size() > 1 && a[0] == '-' && !ParseWhole(a)) return false;
        words.push_back(a);
    }
    return !out.empty() && !words.empty();
}

}  // namespace cinemill::cli
