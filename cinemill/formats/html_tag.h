#pragma once

#include <string>
#include <string_view>

namespace cinemill {

// The fields of the "HTML Code" dialog.
struct HtmlTagFields {
    std::string fileName;     // File Name
    std::string link;         // Link to
    std::string description;  // Description (ALT)
    std::string border;       // Border, as typed
};

// The image element for an animation of width x height: empty while the file
// name is empty. Texts go in as typed, without escaping.
std::string BuildHtmlTag(const HtmlTagFields& fields, unsigned width, unsigned height);

// The value the Border field stands for: its leading decimal digits as an
// unsigned number (0 when empty or not numeric; wraps like a 32-bit unsigned).
unsigned HtmlBorderValue(std::string_view text);

// The File Name field's start value: the file-name part of the current path.
std::string HtmlFileNameOf(std::string_view current_path);

}  // namespace cinemill
