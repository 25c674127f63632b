#include "core/profile.h"

#include "core/atomicfile.h"
#include "core/error.h"

#include <QFile>

#include <SimpleIni.h>

#include <limits>
#include <string>

namespace vellaro {

namespace {

constexpr qsizetype kMaxValueLength = 2047;

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

bool loadIni(const QString &path, CSimpleIniA &ini)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return ini.LoadData(bytes.constData(), static_cast<size_t>(bytes.size())) >= 0;
}

void configure(CSimpleIniA &ini)
{
    ini.SetUnicode(true);
    ini.SetSpaces(false);
    ini.SetMultiKey(false);
}

} // namespace

std::optional<int> parseProfileInt(QStringView text)
{
    text = text.first(std::min(text.size(), kMaxValueLength));

    const bool zeroXPrefix =
        text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
    qsizetype i = 0;
    bool hex = false;
    if (zeroXPrefix) {
        hex = true;
        i = 2;
    }
    bool negative = false;
    if (!hex) {
        while (i < text.size() && text[i] == u' ')
            ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
            negative = text[i] == u'-';
            ++i;
        }
        if (i < text.size() && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
            hex = true;
            ++i;
        }
    }
    if (i >= text.size())
        return std::nullopt;

    quint64 value = 0;
    if (hex) {
        for (; i < text.size(); ++i) {
            const int d = hexDigit(text[i]);
            if (d < 0)
                return std::nullopt;
            value = value * 16 + static_cast<quint64>(d);
            if (value > 0xFFFFFFFFull)
                return std::nullopt;
        }
        const auto bits = static_cast<quint32>(value);
        const auto result = static_cast<qint32>(bits);
        return negative ? static_cast<int>(0u - bits) : result;
    }

    for (; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        value = value * 10 + (u - u'0');
        if (value > 0x80000000ull)
            return std::nullopt;
    }
    if (negative)
        return static_cast<int>(-static_cast<qint64>(value));
    if (value > static_cast<quint64>(std::numeric_limits<int>::max()))
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<QString> ProfileFile::readString(const QString &section, const QString &key) const
{
    CSimpleIniA ini;
    configure(ini);
    if (!loadIni(m_path, ini))
        return std::nullopt;
    const char *value =
        ini.GetValue(section.toUtf8().constData(), key.toUtf8().constData(), nullptr);
    if (!value)
        return std::nullopt;
    return QString::fromUtf8(value);
}

int ProfileFile::readInteger(const QString &section, const QString &key, int def) const
{
    const std::optional<QString> text = readString(section, key);
    if (!text)
        return def;
    return parseProfileInt(*text).value_or(def);
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    CSimpleIniA ini;
    configure(ini);
    loadIni(m_path, ini);
    if (ini.SetValue(section.toUtf8().constData(), key.toUtf8().constData(),
                     value.toUtf8().constData()) < 0)
        throw Error(QStringLiteral("Unable to write to %1").arg(m_path));

    std::string data;
    if (ini.Save(data, false) < 0)
        throw Error(QStringLiteral("Unable to write to %1").arg(m_path));
    // A name that begins with the bytes of a byte order mark (possible further down a file) may
    // come out first; the reader drops a mark at the start, so one of our own goes in front.
    if (data.starts_with("\xEF\xBB\xBF"))
        data.insert(0, "\xEF\xBB\xBF");

    if (writeFileAtomically(m_path, QByteArrayView(data.data(), qsizetype(data.size()))) != 0)
        throw Error(QStringLiteral("Unable to write to %1").arg(m_path));
}

void ProfileFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

} // namespace vellaro
