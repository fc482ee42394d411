#pragma once

#include <string>

namespace branchwork {

// The rules of the numeric edit control (TTolvEdit) as pure functions; the
// Qt widget calls them from its key and focus handlers.
struct TolvEditSettings {
    bool numericOnly = true;
    bool allowDecimal = false;
    int decimalPlaces = 0;
    int max = 0;  // above 0: digits that would exceed it are dropped
    int min = 0;  // above 0: leaving the field raises a smaller number to it
};

// Key codes besides printable characters.
inline constexpr char kKeyBackspace = 8;
inline constexpr char kKeyCtrlC = 3;
inline constexpr char kKeyCtrlV = 22;
inline constexpr char kKeyCtrlX = 24;

// Whether a typed character passes. `text` is the field's text, the
// selection [sel_start, sel_start + sel_len) is what the key replaces.
bool TolvKeyAccepted(const TolvEditSettings& s, const std::string& text, size_t sel_start, size_t sel_len, char key);

// The text after typing `key` (the key filter applied; backspace deletes the
// selection or the character before the caret). Helper for tests and the CLI.
std::string TolvType(const TolvEditSettings& s, const std::string& text, char key);

// The text after the field is left: below Min becomes Min.
std::string TolvOnExit(const TolvEditSettings& s, const std::string& text);

// The value the builder reads: the text as a whole number, 0 when empty or
// not a number.
int TolvValue(const std::string& text);

// The two size fields of the builder.
TolvEditSettings WidthFieldSettings();   // minimum 110
TolvEditSettings HeightFieldSettings();  // minimum 50

}  // namespace branchwork
