#pragma once

#include <QString>

#include <memory>

#include "cinemill/app/settings_store.h"

class QSettings;

namespace cinemill {

// The editor's settings in QSettings, one group per key: the key
// "Software\Pellworth\Cinemill\2.0" becomes the organization "Pellworth",
// the application "Cinemill" and the group "2.0". Binary values are byte arrays, strings
// are strings, and a dword is kept as the text "dword:XXXXXXXX" so that
// text-based formats (the INI file on Linux) keep its type; a number the
// native format gives back (the registry) reads as a dword too.
class QtSettingsStore : public SettingsStore {
public:
    // The user's settings in the platform's native place.
    QtSettingsStore();
    // The settings in an INI file at `path` (tests, portable runs).
    explicit QtSettingsStore(const QString& path);
    ~QtSettingsStore() override;

    std::optional<std::vector<uint8_t>> ReadBinary(std::string_view name) override;
    std::optional<uint32_t> ReadDword(std::string_view name) override;
    std::optional<std::string> ReadString(std::string_view name) override;
    bool WriteBinary(std::string_view name, std::span<const uint8_t> bytes) override;
    bool WriteDword(std::string_view name, uint32_t value) override;
    bool WriteString(std::string_view name, std::string_view value) override;
    bool Remove(std::string_view name) override;

    QSettings& Settings() { return *settings_; }

private:
    QString Key(std::string_view name) const;
    bool Sync();
    std::unique_ptr<QSettings> settings_;
};

}  // namespace cinemill
