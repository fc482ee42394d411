#include "cinemill/formats/format_common.h"

#include <cstdio>
#include <cstdlib>

namespace cinemill {

std::string ReplaceHex(std::string text, uint32_t value) {
    const auto pos = text.find("%x");
    if (pos == std::string::npos) return text;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", value);
    text.replace(pos, 2, buf);
    return text;
}

std::string_view FileNamePart(std::string_view path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string LowerExtension(std::string_view path) {
    const std::string_view name = FileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string ext(name.substr(dot + 1));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

}  // namespace cinemill
