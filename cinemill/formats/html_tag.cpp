#include "cinemill/formats/html_tag.h"

#include <cstdint>
#include <climits>

#include "cinemill/formats/format_common.h"

namespace cinemill {
namespace {
// Every text field holds at most 259 characters.
std::string_view Field(std::string_view s) { return s.substr(0, 259); }
}  // namespace

unsigned HtmlBorderValue(std::string_view text) {
    text = Field(text);
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    // An overlong number stops at the largest value that prints the same as
    // signed and as unsigned, rather than wrapping around.
    constexpr uint32_t kMax = INT32_MAX;
    uint32_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const uint32_t d = static_cast<uint32_t>(text[i] - '0');
        v = v > (kMax - d) / 10u ? kMax : v * 10u + d;
    }
    return v;
}

std::string HtmlFileNameOf(std::string_view current_path) {
    return std::string(Field(FileNamePart(current_path)));
}

std::string BuildHtmlTag(const HtmlTagFields& fields, unsigned width, unsigned height) {
    const std::string_view name = Field(fields.fileName);
    if (name.empty()) return {};
    const std::string_view link = Field(fields.link);
    const std::string_view alt = Field(fields.description);
    std::string out;
    if (!link.empty()) out += "<a href=\"" + std::string(link) + "\">";
    out += "<img src=\"" + std::string(name) + "\"";
    out += " width=" + std::to_string(width) + " height=" + std::to_string(height);
    out += " border=" + std::to_string(HtmlBorderValue(fields.border));
    if (!alt.empty()) out += " alt=\"" + std::string(alt) + "\"";
    out += ">";
    if (!link.empty()) out += "</a>";
    return out;
}

}  // namespace cinemill
