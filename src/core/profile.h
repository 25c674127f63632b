#pragma once

#include <QString>

#include <optional>

namespace vellaro {

// Reads an integer the way the window settings have always been read: decimal with leading
// spaces and an optional sign; hexadecimal when the text is longer than two characters and
// starts with "0x"/"0X", or when the number (after spaces and sign) starts with "$", "x" or "X".
// Only the first 2047 characters count. Anything else is not a number (nullopt). Decimal values
// outside the 32-bit range are not numbers; hexadecimal ones up to FFFFFFFF wrap to 32 bits.
std::optional<int> parseProfileInt(QStringView text);

// An INI file read and written one value at a time, with literal section names and ASCII
// case-insensitive section and key lookups. Every read looks at the file as it is now; every
// write replaces the file atomically and keeps the other sections, keys and comments.
class ProfileFile final
{
public:
    explicit ProfileFile(QString path) : m_path(std::move(path)) {}

    const QString &path() const { return m_path; }

    // The stored text, or nullopt when the file, the section or the key is missing.
    std::optional<QString> readString(const QString &section, const QString &key) const;
    // The stored integer, or def when it is missing or not a whole number.
    int readInteger(const QString &section, const QString &key, int def) const;

    // Throws Error("Unable to write to <path>") when the file cannot be written.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);

private:
    QString m_path;
};

} // namespace vellaro
