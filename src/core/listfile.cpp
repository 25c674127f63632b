#include "listfile.h"

#include "atomicfile.h"
#include "error.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellaro::listfile {

namespace {

bool isControlOrSpace(QChar c) { return c.unicode() <= 32; }

// Details lose every character of code 32 or lower at both ends (this also takes the TAB).
QString trimmedDetail(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && isControlOrSpace(line[begin]))
        ++begin;
    while (end > begin && isControlOrSpace(line[end - 1]))
        --end;
    return line.sliced(begin, end - begin).toString();
}

QString decode(QByteArrayView bytes, const char *legacyCodec)
{
    static constexpr QByteArrayView utf8Bom("\xEF\xBB\xBF");
    if (bytes.startsWith(utf8Bom))
        bytes = bytes.sliced(utf8Bom.size());

    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;

    QStringDecoder legacy(legacyCodec, QStringDecoder::Flag::Stateless);
    if (!legacy.isValid())
        return QString::fromLatin1(bytes);
    return legacy.decode(bytes);
}

void appendLine(QByteArray &out, const QString &line)
{
    out += line.toUtf8();
    out += "\r\n";
}

} // namespace

ReminderEntries parse(const QByteArray &bytes, const char *legacyCodec)
{
    QByteArrayView view(bytes);
    if (const qsizetype nul = view.indexOf('\0'); nul >= 0)
        view = view.first(nul);
    const QString text = decode(view, legacyCodec);

    ReminderEntries entries;
    ReminderEntry *current = nullptr;
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QStringView line = QStringView(text).sliced(pos, end - pos);
        if (line.startsWith(u'\t')) {
            if (current)
                current->details.append(trimmedDetail(line));
        } else {
            entries.append(ReminderEntry{line.toString(), {}});
            current = &entries.last();
        }
        pos = end;
        if (pos < n && text[pos] == u'\r')
            ++pos;
        if (pos < n && text[pos] == u'\n')
            ++pos;
    }
    return entries;
}

QByteArray serialize(const ReminderEntries &entries)
{
    QByteArray out;
    qsizetype estimate = 0;
    for (const ReminderEntry &e : entries) {
        estimate += e.name.size() + 2;
        for (const QString &d : e.details)
            estimate += d.size() + 3;
    }
    out.reserve(estimate + estimate / 4);

    for (const ReminderEntry &e : entries) {
        appendLine(out, sanitizedName(e.name));
        for (const QString &d : e.details) {
            out += '\t';
            appendLine(out, sanitizedDetail(d));
        }
    }
    return out;
}

const char *legacyCodePage(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::Bulgarian:
    case QLocale::Russian:
    case QLocale::Ukrainian:
    case QLocale::Belarusian:
    case QLocale::Macedonian:
    case QLocale::Serbian:
        return "windows-1251";
    case QLocale::Polish:
    case QLocale::Czech:
    case QLocale::Slovak:
    case QLocale::Hungarian:
    case QLocale::Slovenian:
    case QLocale::Croatian:
    case QLocale::Romanian:
    case QLocale::Albanian:
    case QLocale::Bosnian:
        return "windows-1250";
    case QLocale::Greek:
        return "windows-1253";
    case QLocale::Turkish:
        return "windows-1254";
    case QLocale::Hebrew:
        return "windows-1255";
    case QLocale::Arabic:
    case QLocale::Persian:
        return "windows-1256";
    case QLocale::Lithuanian:
    case QLocale::Latvian:
    case QLocale::Estonian:
        return "windows-1257";
    case QLocale::Vietnamese:
        return "windows-1258";
    case QLocale::Thai:
        return "windows-874";
    default:
        return "windows-1252";
    }
}

ReminderEntries load(const QString &path, const char *legacyCodec)
{
    // Read with POSIX calls so the error box can carry the system's own reason.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw cannotOpenFile(path, systemErrorText(errno));

    QByteArray bytes;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        throw cannotOpenFile(path, systemErrorText(err));
    }
    if (st.st_size > 0)
        bytes.reserve(st.st_size);
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw cannotOpenFile(path, systemErrorText(err));
        }
        bytes.append(buffer, got);
    }
    ::close(fd);
    return parse(bytes, legacyCodec);
}

void save(const QString &path, const ReminderEntries &entries)
{
    if (const int err = writeFileAtomically(path, serialize(entries)); err != 0)
        throw cannotCreateFile(path, systemErrorText(err));
}

} // namespace vellaro::listfile
