#include "branchwork/widgets/tolv_edit.h"

#include "branchwork/base/text_util.h"

namespace branchwork {

bool TolvKeyAccepted(const TolvEditSettings& s, const std::string& text, size_t sel_start, size_t sel_len, char key) {
    if (key == kKeyBackspace || key == kKeyCtrlC || key == kKeyCtrlV || key == kKeyCtrlX) return true;
    if (!s.numericOnly) return true;
    const bool digit = key >= '0' && key <= '9';
    if (key == '.') return s.allowDecimal && text.find('.') == std::string::npos;
    if (!digit) return false;
    if (sel_start > text.size()) sel_start = text.size();
    if (sel_len > text.size() - sel_start) sel_len = text.size() - sel_start;
    std::string after = text;
    after.replace(sel_start, sel_len, 1, key);
    const size_t dot = after.find('.');
    if (dot != std::string::npos && after.size() - dot - 1 > static_cast<size_t>(s.decimalPlaces)) return false;
    if (s.max > 0) {
        const std::string whole = dot == std::string::npos ? after : after.substr(0, dot);
        const auto v = ParseWholeNumber(whole);
        if (!v || *v > s.max) return false;
    }
    return true;
}

std::string TolvType(const TolvEditSettings& s, const std::string& text, char key) {
    if (!TolvKeyAccepted(s, text, text.size(), 0, key)) return text;
    if (key == kKeyBackspace) return text.empty() ? text : text.substr(0, text.size() - 1);
    if (key == kKeyCtrlC || key == kKeyCtrlV || key == kKeyCtrlX) return text;
    return text + key;
}

std::string TolvOnExit(const TolvEditSettings& s, const std::string& text) {
    if (s.min <= 0) return text;
    const auto v = ParseWholeNumber(text);
    if (v && *v < s.min) return std::to_string(s.min);
    return text;
}

int TolvValue(const std::string& text) {
    const auto v = ParseWholeNumber(text);
    return v ? *v : 0;
}

TolvEditSettings WidthFieldSettings() { return {true, false, 0, 0, 110}; }
TolvEditSettings HeightFieldSettings() { return {true, false, 0, 0, 50}; }

}  // namespace branchwork
