#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cinemill/base/preferences.h"

namespace cinemill {

// Names of the editor's settings: one key holding typed values. The Qt
// layer keeps them in QSettings under the same names; the INI store below
// keeps them in a text file.
namespace settings_names {
constexpr std::string_view kKey = "Software\\Pellworth\\Cinemill\\2.0";
constexpr std::string_view kPref = "Pref";            // binary, 52 bytes
constexpr std::string_view kNPref = "NPref";          // dword, 13
constexpr std::string_view kSignature = "Sig";        // string
constexpr std::string_view kPlacement = "Placement";  // binary, the window placement
constexpr std::string_view kInitDir = "InitDir";      // string, folder of the last open dialog
constexpr int kRecentFiles = 7;
// "File1" (newest) to "File7".
std::string RecentFile(int n);
}  // namespace settings_names

// Typed values under the settings key. Reads answer none for a missing
// value or one of another type; writes answer false when the store cannot
// be written (the caller's memory keeps the change). The preference block
// reads and writes "Pref", "NPref" and "Sig" through the same store.
class SettingsStore : public PreferenceStore {
public:
    virtual std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) = 0;
    virtual std::optional<uint32_t> ReadDword(std::string_view name) = 0;
    virtual std::optional<std::string> ReadString(std::string_view name) = 0;
    virtual bool WriteBinary(std::string_view name, std::span<const uint8_t> bytes) = 0;
    virtual bool WriteDword(std::string_view name, uint32_t value) = 0;
    virtual bool WriteString(std::string_view name, std::string_view value) = 0;
    // True when the value is gone afterwards (also when it never existed).
    virtual bool Remove(std::string_view name) = 0;

    // PreferenceStore in terms of the typed values.
    std::optional<std::vector<uint8_t>> ReadPref() final { return ReadBinary(settings_names::kPref); }
    std::optional<uint32_t> ReadNPref() final { return ReadDword(settings_names::kNPref); }
    std::optional<std::string> ReadSignature() final { return ReadString(settings_names::kSignature); }
    bool WritePref(std::span<const uint8_t> bytes, uint32_t npref) final {
        const bool a = WriteBinary(settings_names::kPref, bytes);
        const bool b = WriteDword(settings_names::kNPref, npref);
        return a && b;
    }
    bool WriteSignature(const std::string& text) final {
        return WriteString(settings_names::kSignature, text);
    }
};

// The settings in a text file, one section per key:
//
//   [Software\Pellworth\Cinemill\2.0]
//   Pref=hex:0a,00,00,00,...
//   NPref=dword:0000000d
//   Sig="Built with Cinemill 2.6"
//
// Strings are quoted with \\, \", \n, \r and \t escaped. Every read looks
// at the file as it is now; every write reads it again, changes one value
// and replaces the file whole, keeping other sections, comments and values
// it does not understand. A missing file reads as empty; a line that does
// not parse reads as a missing value.
class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) override;
    std::optional<uint32_t> ReadDword(std::string_view name) override;
    std::optional<std::string> ReadString(std::string_view name) override;
    bool WriteBinary(std::string_view name, std::span<const uint8_t> bytes) override;
    bool WriteDword(std::string_view name, uint32_t value) override;
    bool WriteString(std::string_view name, std::string_view value) override;
    bool Remove(std::string_view name) override;

private:
    std::optional<std::string> RawValue(std::string_view name) const;
    // Replaces (or with none removes) one value's text and writes the file.
    bool Store(std::string_view name, std::optional<std::string> raw);
    std::string path_;
};

// A store in memory, for tests and for runs that must not keep anything.
class MemorySettingsStore : public SettingsStore {
public:
    struct Value {
        enum class Type { Binary, Dword, String } type;
        std::vector<uint8_t> bytes;
        uint32_t dword = 0;
        std::string text;
    };
    std::map<std::string, Value, std::less<>> values;
    bool writable = true;  // false: every write fails, as with a read-only key

    std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) override;
    std::optional<uint32_t> ReadDword(std::string_view name) override;
    std::optional<std::string> ReadString(std::string_view name) override;
    bool WriteBinary(std::string_view name, std::span<const uint8_t> bytes) override;
    bool WriteDword(std::string_view name, uint32_t value) override;
    bool WriteString(std::string_view name, std::string_view value) override;
    bool Remove(std::string_view name) override;
};

// ---- the other values of the key -------------------------------------------------------

// "File1" to "File7" up to the first missing one (the File menu's list).
std::vector<std::string> ReadRecentFiles(SettingsStore& store);
// A path became the document's name: it goes to slot 1 and the older
// entries shift down; the shifting stops after the slot whose old value
// equals the path exactly (case-sensitive), after the first slot that had
// no value, or after slot 7 (whose old value is dropped).
void PushRecentFile(SettingsStore& store, const std::string& path);

}  // namespace cinemill
