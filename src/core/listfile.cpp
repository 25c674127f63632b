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

constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");

bool isControlOrSpace(char c) { return static_cast<unsigned char>(c) <= 32; }

// Strict UTF-8 to UTF-16 (no overlong forms, no surrogates, nothing above U+10FFFF), sized
// exactly in a first pass. Qt's own decoder is several times slower on Cyrillic text, and a long
// list spends most of its loading time here.
bool decodeUtf8(QByteArrayView in, QString &out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(in.data());
    const auto *const end = p + in.size();
    qsizetype units = 0;
    for (const unsigned char *q = p; q != end; ++q)
        units += ((*q & 0xC0) != 0x80) + (*q >= 0xF0);
    out = QString(units, Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    char16_t *const dEnd = d + units;
    const auto cont = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (p != end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            if (d == dEnd)
                return false;
            *d++ = c;
            ++p;
            continue;
        }
        char32_t cp = 0;
        int length = 0;
        if (c >= 0xC2 && c < 0xE0) {
            length = 2;
        } else if (c >= 0xE0 && c < 0xF0) {
            length = 3;
        } else if (c >= 0xF0 && c < 0xF5) {
            length = 4;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        for (int i = 1; i < length; ++i) {
            if (!cont(p[i]))
                return false;
        }
        if (length == 2) {
            cp = char32_t(c & 0x1F) << 6 | (p[1] & 0x3F);
        } else if (length == 3) {
            if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0))
                return false;
            cp = char32_t(c & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        } else {
            if ((c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] >= 0x90))
                return false;
            cp = char32_t(c & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 |
                 char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
        }
        p += length;
        if (cp >= 0x10000) {
            if (dEnd - d < 2)
                return false;
            *d++ = QChar::highSurrogate(cp);
            *d++ = QChar::lowSurrogate(cp);
        } else {
            if (d == dEnd)
                return false;
            *d++ = char16_t(cp);
        }
    }
    return d == dEnd;
}

// Splits the text into lines and builds the entries. The line breaks, TAB and the characters
// trimmed from details are all single bytes below 0x80, the same in UTF-8 and in every 8-bit code
// page, so the work is done on bytes and each line is decoded once.
template <typename Decode>
bool parseLines(QByteArrayView text, ReminderEntries &entries, Decode &&decode)
{
    ReminderEntry *current = nullptr;
    const char *p = text.data();
    const char *const end = p + text.size();
    while (p < end) {
        const char *lineEnd = p;
        while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n')
            ++lineEnd;
        if (*p == '\t' && p < lineEnd) {
            if (current) {
                const char *b = p;
                const char *e = lineEnd;
                while (b < e && isControlOrSpace(*b))
                    ++b;
                while (e > b && isControlOrSpace(e[-1]))
                    --e;
                QString detail;
                if (!decode(QByteArrayView(b, e - b), detail))
                    return false;
                current->details.append(std::move(detail));
            }
        } else {
            ReminderEntry entry;
            if (!decode(QByteArrayView(p, lineEnd - p), entry.name))
                return false;
            entries.append(std::move(entry));
            current = &entries.last();
        }
        p = lineEnd;
        if (p < end && *p == '\r')
            ++p;
        if (p < end && *p == '\n')
            ++p;
    }
    return true;
}

// Appends the text as UTF-8, turning the characters that would break a line into spaces.
void appendLine(QByteArray &out, QStringEncoder &encoder, QStringView text, bool isName)
{
    const qsizetype at = out.size();
    out.resize(at + encoder.requiredSpace(text.size()));
    char *const begin = out.data() + at;
    char *const end = encoder.appendToBuffer(begin, text);
    for (char *c = begin; c != end; ++c) {
        if (*c == '\r' || *c == '\n' || *c == '\0')
            *c = ' ';
    }
    if (isName && begin != end && *begin == '\t')
        *begin = ' ';
    out.resize(end - out.constData());
    out.append("\r\n", 2);
}

} // namespace

ReminderEntries parse(const QByteArray &bytes, const char *legacyCodec)
{
    QByteArrayView view(bytes);
    if (const qsizetype nul = view.indexOf('\0'); nul >= 0)
        view = view.first(nul);
    if (view.startsWith(kUtf8Bom))
        view = view.sliced(kUtf8Bom.size());

    ReminderEntries entries;
    const bool valid = parseLines(view, entries, decodeUtf8);
    if (valid)
        return entries;

    // Not UTF-8: the file was written by an 8-bit program in the code page of its language.
    entries.clear();
    QStringDecoder legacy(legacyCodec, QStringDecoder::Flag::Stateless);
    parseLines(view, entries, [&legacy](QByteArrayView line, QString &out) {
        out = legacy.isValid() ? legacy.decode(line) : QString::fromLatin1(line);
        return true;
    });
    return entries;
}

QByteArray serialize(const ReminderEntries &entries)
{
    qsizetype units = 0;
    for (const ReminderEntry &e : entries) {
        units += e.name.size() + 2;
        for (const QString &d : e.details)
            units += d.size() + 3;
    }
    QByteArray out;
    out.reserve(units * 3);

    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    for (const ReminderEntry &e : entries) {
        appendLine(out, encoder, e.name, true);
        for (const QString &d : e.details) {
            out.append('\t');
            appendLine(out, encoder, d, false);
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
