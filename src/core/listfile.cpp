#include "core/listfile.h"

#include "core/atomicfile.h"
#include "core/error.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellaro::listfile {

namespace {

constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");
// A long list is written a piece of this size at a time, never whole in memory as bytes.
constexpr qsizetype kPieceSize = 128 * 1024;

bool isControlOrSpace(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// Builds the rows from the text's lines. Line breaks, TAB and the characters trimmed from
// details are single bytes below 0x80, the same in UTF-8 and in every 8-bit code page, so the
// lines are split as bytes and each text is decoded on its own: a text that is valid UTF-8 is
// UTF-8, any other was written by an 8-bit program and is read in its code page. One line
// pasted from an old file so never turns the rest of the list into mojibake.
void parseLines(QByteArrayView text, QStringDecoder &utf8, QStringDecoder &legacy,
                ReminderEntries &rows)
{
    // A long list repeats its texts all through (dates, times, the names and notes of reminders
    // that come back): each different text is decoded once and every row that has it shares the
    // one string. The keys are views into `text`.
    QHash<QByteArrayView, QString> seen;
    const auto decoded = [&](QByteArrayView bytes) {
        if (bytes.isEmpty())
            return QString();
        auto it = seen.constFind(bytes);
        if (it == seen.cend()) {
            QString value = utf8.decode(bytes);
            if (utf8.hasError()) {
                utf8.resetState();
                value = legacy.decode(bytes);
            }
            it = seen.insert(bytes, value);
        }
        return *it;
    };

    const char *p = text.data();
    const char *const end = p + text.size();
    while (p != end) {
        const char *const lineEnd =
            std::find_if(p, end, [](char c) { return c == '\r' || c == '\n'; });
        const QByteArrayView line(p, lineEnd - p);
        p = lineEnd;
        if (p != end && *p == '\r')
            ++p;
        if (p != end && *p == '\n')
            ++p;

        if (!line.startsWith('\t')) {
            rows.append({decoded(line), {}});
            rows.last().details.reserve(3);
        } else if (!rows.isEmpty()) {
            const char *b = line.data();
            const char *e = b + line.size();
            while (b < e && isControlOrSpace(*b))
                ++b;
            while (e > b && isControlOrSpace(e[-1]))
                --e;
            rows.last().details.append(decoded(QByteArrayView(b, e - b)));
        }
    }
}

// Appends the text as UTF-8 and CR LF. CR, LF and NUL would break the line and become spaces;
// a name beginning with TAB would read back as a detail.
void appendLine(QByteArray &out, QStringEncoder &utf8, QStringView text, bool isName)
{
    const qsizetype start = out.size();
    out.resize(start + utf8.requiredSpace(text.size()) + 2);
    char *const begin = out.data() + start;
    char *end = utf8.appendToBuffer(begin, text);
    std::replace_if(
        begin, end, [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');
    if (isName && begin != end && *begin == '\t')
        *begin = ' ';
    *end++ = '\r';
    *end++ = '\n';
    out.truncate(end - out.constData());
}

// Appends the rows' lines to `out`, handing it to pieceDone() after each row.
template <typename PieceDone>
void writeRows(const ReminderEntries &rows, QByteArray &out, PieceDone &&pieceDone)
{
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    // A first name that begins with U+FEFF would begin the file with the bytes of a byte order
    // mark, which reading drops; a mark of its own in front keeps the character.
    if (!rows.isEmpty() && rows.first().name.startsWith(QChar(0xFEFF)))
        out.append(kUtf8Bom);
    for (const ReminderEntry &row : rows) {
        appendLine(out, utf8, row.name, true);
        for (const QString &detail : row.details) {
            out.append('\t');
            appendLine(out, utf8, detail, false);
        }
        pieceDone(out);
    }
}

// Closes a file on every way out.
struct FileCloser
{
    int fd;
    ~FileCloser() { ::close(fd); }
};

} // namespace

ReminderEntries parse(const QByteArray &bytes, const char *legacyCodec)
{
    QByteArrayView text(bytes);
    if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
        text.truncate(nul);
    if (text.startsWith(kUtf8Bom))
        text = text.sliced(kUtf8Bom.size());

    // Each text is decoded on its own, and one that begins with U+FEFF keeps it (the file's own
    // byte order mark is gone already).
    constexpr auto kFlags =
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom;
    QStringDecoder utf8(QStringDecoder::Utf8, kFlags);
    QStringDecoder legacy(legacyCodec, kFlags);
    if (!legacy.isValid())
        legacy = QStringDecoder(QStringDecoder::Latin1, kFlags);
    ReminderEntries rows;
    parseLines(text, utf8, legacy, rows);
    return rows;
}

QByteArray serialize(const ReminderEntries &rows)
{
    QByteArray out;
    writeRows(rows, out, [](QByteArray &) {});
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
    const FileCloser closer{fd};

    struct stat st
    {};
    if (::fstat(fd, &st) != 0)
        throw cannotOpenFile(path, systemErrorText(errno));
    if (S_ISDIR(st.st_mode))
        throw cannotOpenFile(path, systemErrorText(EISDIR));
    // Read to the file's end, whatever its size said: a file that grew meanwhile is read whole.
    QByteArray bytes(std::max<qsizetype>(4096, qsizetype(st.st_size) + 1), Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(2 * used);
        const ssize_t got = ::read(fd, bytes.data() + used, size_t(bytes.size() - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw cannotOpenFile(path, systemErrorText(errno));
        if (got == 0)
            break;
        used += got;
    }
    bytes.truncate(used);
    return parse(bytes, legacyCodec);
}

void save(const QString &path, const ReminderEntries &rows)
{
    const int err = writeFileAtomically(path, [&rows](const AtomicWrite &write) {
        QByteArray piece;
        piece.reserve(2 * kPieceSize);
        writeRows(rows, piece, [&write](QByteArray &out) {
            if (out.size() >= kPieceSize) {
                write(out);
                out.truncate(0);
            }
        });
        write(piece);
    });
    if (err != 0)
        throw cannotCreateFile(path, systemErrorText(err));
}

} // namespace vellaro::listfile
