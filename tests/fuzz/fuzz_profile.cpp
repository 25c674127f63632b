// Any text read as a window setting, and any bytes as the settings file. A number must be read as
// its text says, reading a file must not fail, and writing one value must leave every other value
// of the file readable as before.
#include "core/error.h"
#include "core/profile.h"
#include "fuzz/fuzzcheck.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

using namespace vellaro;

namespace {

// What the text means, worked out by other means than the reader's own: Qt's number conversion
// applied to what a pattern picked out.
std::optional<int> meaningOf(QString text)
{
    text.truncate(2047);
    static const QRegularExpression decimal(QStringLiteral("\\A *([+-]?)([0-9]+)\\z"));
    static const QRegularExpression hexPrefixed(QStringLiteral("\\A0[xX]([0-9a-fA-F]+)\\z"));
    static const QRegularExpression hexMarked(QStringLiteral("\\A *([+-]?)[$xX]([0-9a-fA-F]+)\\z"));

    const auto hex = [](const QString &digits, bool negative) -> std::optional<int> {
        bool ok = false;
        const qulonglong value = digits.toULongLong(&ok, 16);
        if (!ok || value > 0xFFFFFFFFull)
            return std::nullopt;
        const auto bits = static_cast<quint32>(negative ? 0u - quint32(value) : quint32(value));
        return static_cast<int>(bits);
    };
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        const auto m = hexPrefixed.match(text);
        return m.hasMatch() ? hex(m.captured(1), false) : std::nullopt;
    }
    if (const auto m = hexMarked.match(text); m.hasMatch())
        return hex(m.captured(2), m.captured(1) == QLatin1String("-"));
    if (const auto m = decimal.match(text); m.hasMatch()) {
        bool ok = false;
        const qulonglong value = m.captured(2).toULongLong(&ok);
        const bool negative = m.captured(1) == QLatin1String("-");
        if (!ok || value > (negative ? 0x80000000ull : 0x7FFFFFFFull))
            return std::nullopt;
        return static_cast<int>(negative ? -static_cast<qint64>(value) : qint64(value));
    }
    return std::nullopt;
}

// A folder for the settings file, in memory where the system offers it, removed at exit.
const QString &scratchFolder()
{
    // Plain bytes, so the exit handler never sees a destroyed object.
    static char path[64];
    static const QString folder = [] {
        std::snprintf(path, sizeof path, "%s/vellaro-fuzz-XXXXXX",
                      QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm" : "/tmp");
        if (!::mkdtemp(path))
            std::abort();
        std::atexit([] { QDir(QString::fromLocal8Bit(path)).removeRecursively(); });
        return QString::fromLocal8Bit(path);
    }();
    return folder;
}

// Section and key names the file seems to hold, found by a plain look at its lines.
std::vector<std::pair<QString, QString>> namesIn(const QByteArray &bytes)
{
    std::vector<std::pair<QString, QString>> names{
        {QStringLiteral("vellaro"), QStringLiteral("Top")},
        {QStringLiteral("Vellaro - Версия 2.0"), QStringLiteral("Width")}};
    QString section;
    QString text = QString::fromUtf8(bytes);
    text.replace(u'\r', u'\n');
    for (QStringView line : QStringView(text).tokenize(u'\n')) {
        line = line.trimmed();
        // Names reach the settings file as C strings; the program never has a NUL in one.
        if (line.contains(u'\0'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.sliced(1, line.size() - 2).trimmed().toString();
        } else if (const qsizetype eq = line.indexOf(u'='); eq > 0) {
            names.emplace_back(section, line.first(eq).trimmed().toString());
            if (names.size() >= 8)
                break;
        }
    }
    return names;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QString text = QString::fromUtf8(bytes);
    FUZZ_CHECK(parseProfileInt(text) == meaningOf(text));

    const QString path = scratchFolder() + QStringLiteral("/Vellaro.ini");
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
    ProfileFile ini(path);
    const auto names = namesIn(bytes);
    std::vector<std::optional<QString>> before;
    for (const auto &[section, key] : names) {
        before.push_back(ini.readString(section, key));
        if (before.back())
            FUZZ_CHECK(ini.readInteger(section, key, 7) == meaningOf(*before.back()).value_or(7));
    }

    try {
        ini.writeInteger(QStringLiteral("vellaro"), QStringLiteral("AlphaBlend"), 123);
    } catch (const Error &) {
        FUZZ_CHECK(!"writing into a writable folder failed");
    }
    FUZZ_CHECK(ini.readInteger(QStringLiteral("VELLARO"), QStringLiteral("alphablend"), 0) == 123);
    for (size_t i = 0; i < names.size(); ++i) {
        const auto &[section, key] = names[i];
        if (section.compare(QLatin1String("vellaro"), Qt::CaseInsensitive) == 0 &&
            key.compare(QLatin1String("AlphaBlend"), Qt::CaseInsensitive) == 0)
            continue;
        FUZZ_CHECK(ini.readString(section, key) == before[i]);
    }
    return 0;
}
