#include "cinemill/ui/qt_settings_store.h"

#include <QSettings>

namespace cinemill {

namespace {

constexpr char kDwordPrefix[] = "dword:";

}  // namespace

QtSettingsStore::QtSettingsStore() : settings_(std::make_unique<QSettings>("Pellworth", "Cinemill")) {}

QtSettingsStore::QtSettingsStore(const QString& path)
    : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::Key(std::string_view name) const {
    return "2.0/" + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

bool QtSettingsStore::Sync() {
    settings_->sync();
    return settings_->status() == QSettings::NoError && settings_->isWritable();
}

std::optional<std::vector<uint8_t>> QtSettingsStore::ReadBinary(std::string_view name) {
    const QVariant v = settings_->value(Key(name));
    if (v.typeId() != QMetaType::QByteArray) return std::nullopt;
    const QByteArray b = v.toByteArray();
    return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(b.constData()),
                                reinterpret_cast<const uint8_t*>(b.constData()) + b.size());
}

std::optional<uint32_t> QtSettingsStore::ReadDword(std::string_view name) {
    const QVariant v = settings_->value(Key(name));
    switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            bool ok = false;
            const qulonglong n = v.toULongLong(&ok);
            if (!ok || n > 0xFFFFFFFFull) return std::nullopt;
            return static_cast<uint32_t>(n);
        }
        case QMetaType::QString: {
            const QString s = v.toString();
            if (!s.startsWith(kDwordPrefix) || s.size() != 6 + 8) return std::nullopt;
            bool ok = false;
            const uint n = s.mid(6).toUInt(&ok, 16);
            if (!ok) return std::nullopt;
            return static_cast<uint32_t>(n);
        }
        default: return std::nullopt;
    }
}

std::optional<std::string> QtSettingsStore::ReadString(std::string_view name) {
    const QVariant v = settings_->value(Key(name));
    if (v.typeId() != QMetaType::QString) return std::nullopt;
    return v.toString().toStdString();
}

bool QtSettingsStore::WriteBinary(std::string_view name, std::span<const uint8_t> bytes) {
    settings_->setValue(Key(name), QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size())));
    return Sync();
}

bool QtSettingsStore::WriteDword(std::string_view name, uint32_t value) {
    settings_->setValue(Key(name), QString(kDwordPrefix) + QString("%1").arg(value, 8, 16, QChar('0')));
    return Sync();
}

bool QtSettingsStore::WriteString(std::string_view name, std::string_view value) {
    settings_->setValue(Key(name), QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
    return Sync();
}

bool QtSettingsStore::Remove(std::string_view name) {
    settings_->remove(Key(name));
    return Sync() || !settings_->contains(Key(name));
}

}  // namespace cinemill
