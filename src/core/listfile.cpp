#include "listfile.h"

#include "atomicfile.h"
#include "error.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vellaro::listfile {

namespace {

constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");

bool isControlOrSpace(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// The number of UTF-16 units the UTF-8 bytes decode to when they are valid: one unit for each
// byte that is not a continuation byte (10xxxxxx), and a second one for each lead byte of four
// (11110xxx and above, which decoding rejects anyway). Eight bytes at a time.
qsizetype utf16Units(QByteArrayView in)
{
    constexpr quint64 kHighBits = 0x8080808080808080ull;
    const auto *const end = reinterpret_cast<const unsigned char *>(in.data()) + in.size();
    // (Counted with a multiplication: without a popcount instruction in the baseline, the
    // compiler's popcount is a library call.)
    const auto countHighBits = [](quint64 bits) {
        return qsizetype(((bits >> 7) * 0x0101010101010101ull) >> 56);
    };
    qsizetype units = 0;
    const auto *q = reinterpret_cast<const unsigned char *>(in.data());
    for (; end - q >= 8; q += 8) {
        quint64 w;
        std::memcpy(&w, q, sizeof w);
        const quint64 continuation = w & ~(w << 1) & kHighBits;
        const quint64 fourByteLead = w & (w << 1) & (w << 2) & (w << 3) & kHighBits;
        units += 8 - countHighBits(continuation) + countHighBits(fourByteLead);
    }
    for (; q != end; ++q)
        units += ((*q & 0xC0) != 0x80) + (*q >= 0xF0);
    return units;
}

// Strict UTF-8 to UTF-16 (no overlong forms, no surrogates, nothing above U+10FFFF) into room for
// exactly `units` units, as utf16Units() counted them; false when the bytes are not UTF-8. Qt's own
// decoder is several times slower on Cyrillic text, and a long list spends most of its loading
// time here. Runs of ASCII go eight bytes at a time, and the two-byte sequences of Cyrillic text
// take the shortest way.
bool decodeUtf8Into(QByteArrayView in, char16_t *d, qsizetype units)
{
    constexpr quint64 kHighBits = 0x8080808080808080ull;
    const auto *p = reinterpret_cast<const unsigned char *>(in.data());
    const auto *const end = p + in.size();
    char16_t *const dEnd = d + units;
    const auto cont = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (p != end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            if (end - p >= 8 && dEnd - d >= 8) {
                quint64 w;
                std::memcpy(&w, p, sizeof w);
                if (!(w & kHighBits)) {
                    for (int i = 0; i < 8; ++i)
                        d[i] = p[i];
                    d += 8;
                    p += 8;
                    continue;
                }
            }
            if (d == dEnd)
                return false;
            *d++ = c;
            ++p;
            continue;
        }
        if (c >= 0xC2 && c < 0xE0 && end - p >= 2 && cont(p[1])) {
            if (d == dEnd)
                return false;
            *d++ = char16_t((c & 0x1F) << 6 | (p[1] & 0x3F));
            p += 2;
            continue;
        }
        char32_t cp = 0;
        int length = 0;
        if (c >= 0xE0 && c < 0xF0) {
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
        if (length == 3) {
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

// Where the line that begins at p ends: the first CR or LF, or the end. Eight bytes at a time,
// since most of a list file's time to read is spent going through its lines.
const char *lineEndFrom(const char *p, const char *const end)
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr quint64 kOnes = 0x0101010101010101ull;
        constexpr quint64 kHighBits = 0x8080808080808080ull;
        // The high bit of each byte that is zero in v; exact up to the first such byte, which
        // is all that is looked at.
        const auto zeroBytes = [](quint64 v) { return (v - kOnes) & ~v & kHighBits; };
        for (; end - p >= 8; p += 8) {
            quint64 w;
            std::memcpy(&w, p, sizeof w);
            const quint64 found = zeroBytes(w ^ (kOnes * '\r')) | zeroBytes(w ^ (kOnes * '\n'));
            if (found != 0)
                return p + std::countr_zero(found) / 8;
        }
    }
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

// The texts of a list being read, decoded into blocks of many texts rather than an allocation
// each. A long list holds tens of thousands of different short texts; an allocation each costs
// its header, the allocator's rounding and the time to make it, and on a new heap every page of
// that is one more page fault. A string made here holds a reference to its block and sees only
// its own part of it, followed by a zero as in any string; changing a string copies it out first,
// as with any shared string, and a block is freed with the last string in it.
class TextBlocks
{
public:
    TextBlocks() = default;
    TextBlocks(const TextBlocks &) = delete;
    TextBlocks &operator=(const TextBlocks &) = delete;
    ~TextBlocks() { release(); }

    // A text of `units` UTF-16 units written by fill(char16_t *), which may refuse; a long one
    // has an allocation of its own.
    template <typename Fill> bool make(qsizetype units, QString &out, Fill &&fill)
    {
        if (units == 0 || units >= kBlockUnits / 8) {
            QString text(units, Qt::Uninitialized);
            if (!fill(reinterpret_cast<char16_t *>(text.data())))
                return false;
            out = std::move(text);
            return true;
        }
        if (units + 1 > m_left)
            newBlock();
        if (!fill(m_free))
            return false;
        m_free[units] = u'\0';
        m_block->ref();
        out = QString(QStringPrivate(m_block, m_free, units));
        m_free += units + 1;
        m_left -= units + 1;
        return true;
    }

private:
    using Block = QTypedArrayData<char16_t>;
    // 64 KiB: below the size from which glibc maps each allocation on its own.
    static constexpr qsizetype kBlockUnits = 32 * 1024 - 16;

    void newBlock()
    {
        release();
        auto [block, data] = Block::allocate(kBlockUnits);
        Q_CHECK_PTR(block);
        m_block = block;
        m_free = data;
        m_left = kBlockUnits;
    }

    void release()
    {
        if (m_block && !m_block->deref())
            Block::deallocate(m_block);
        m_block = nullptr;
        m_left = 0;
    }

    Block *m_block = nullptr;
    char16_t *m_free = nullptr;
    qsizetype m_left = 0;
};

// The texts of a long list that were read already, each decoded once, looked up by their bytes.
// Slots hold 32 bits of the bytes' hash with the text's number, so a look-up passes over other
// texts without reading them, and only a text whose hash matches has its bytes compared.
class SharedTexts
{
public:
    // The text read from these bytes before, or nullptr.
    const QString *find(QByteArrayView bytes, quint32 hash) const
    {
        if (m_texts.empty())
            return nullptr;
        for (size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const quint64 slot = m_slots[at];
            if (slot == 0)
                return nullptr;
            if (quint32(slot >> 32) == hash) {
                const Text &known = m_texts[size_t(quint32(slot)) - 1];
                if (known.bytes == bytes)
                    return &known.text;
            }
        }
    }

    // Keeps the text read from the bytes, which must outlive the table; stops keeping texts
    // once it holds as many as it may.
    void add(QByteArrayView bytes, quint32 hash, const QString &text)
    {
        constexpr size_t kMaxTexts = 1 << 16;
        if (m_texts.size() >= kMaxTexts)
            return;
        if (2 * (m_texts.size() + 1) > m_slots.size())
            grow();
        m_texts.push_back({text, bytes});
        place(hash, quint32(m_texts.size()));
    }

    // Seeded for the process, as Qt's own hash tables are, so no file can be made to put its
    // texts all in one run of slots.
    static quint32 hashOf(QByteArrayView bytes)
    {
        return quint32(qHash(bytes, QHashSeed::globalSeed()));
    }

private:
    struct Text
    {
        QString text;
        QByteArrayView bytes;
    };

    void place(quint32 hash, quint32 number)
    {
        size_t at = hash & m_mask;
        while (m_slots[at] != 0)
            at = (at + 1) & m_mask;
        m_slots[at] = quint64(hash) << 32 | number;
    }

    void grow()
    {
        const std::vector<quint64> old = std::exchange(m_slots, {});
        m_slots.assign(std::max<size_t>(1024, 2 * old.size()), 0);
        m_mask = m_slots.size() - 1;
        for (const quint64 slot : old) {
            if (slot != 0)
                place(quint32(slot >> 32), quint32(slot));
        }
    }

    std::vector<quint64> m_slots;
    size_t m_mask = 0;
    std::vector<Text> m_texts;
};

// Splits the text into lines and builds the entries. The line breaks, TAB and the characters
// trimmed from details are all single bytes below 0x80, the same in UTF-8 and in every 8-bit code
// page, so the work is done on bytes and each line is decoded once.
template <typename Decode>
bool parseLines(QByteArrayView text, ReminderEntries &entries, Decode &&decode)
{
    // Texts repeat all through a long list: date and time texts, and names and notes of
    // reminders that come back. Each different text is decoded once and the rows share it, which
    // saves a string per row and the time to make it, and rows with the same name compare equal
    // at a glance when the list is sorted. One table for names and one for each detail: the
    // dates and notes, which repeat most, then stay in small tables that the processor's caches
    // hold. (A file of nothing but different texts stops adding to a table at some point.)
    constexpr int kTables = 4;
    std::array<SharedTexts, kTables> sharedTexts;
    const auto decodeShared = [&](QByteArrayView bytes, int table, QString &out) {
        SharedTexts &texts = sharedTexts[size_t(std::min(table, kTables - 1))];
        const quint32 hash = SharedTexts::hashOf(bytes);
        if (const QString *known = texts.find(bytes, hash)) {
            out = *known;
            return true;
        }
        if (!decode(bytes, out))
            return false;
        texts.add(bytes, hash, out);
        return true;
    };

    ReminderEntry *current = nullptr;
    const char *p = text.data();
    const char *const end = p + text.size();
    while (p < end) {
        const char *const lineEnd = lineEndFrom(p, end);
        if (*p == '\t' && p < lineEnd) {
            if (current) {
                const char *b = p;
                const char *e = lineEnd;
                while (b < e && isControlOrSpace(*b))
                    ++b;
                while (e > b && isControlOrSpace(e[-1]))
                    --e;
                QString detail;
                if (!decodeShared(QByteArrayView(b, e - b), 1 + int(current->details.size()),
                                  detail))
                    return false;
                // Rows have three details: room for them at once, not three growing steps.
                if (current->details.isEmpty())
                    current->details.reserve(3);
                current->details.append(std::move(detail));
            }
        } else {
            ReminderEntry entry;
            if (!decodeShared(QByteArrayView(p, lineEnd - p), 0, entry.name))
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

// Writes the text as UTF-8 followed by CR LF, turning the characters that would break a line
// into spaces; returns the end. The room for it is there already (three bytes a UTF-16 unit).
// Surrogates are left to Qt's encoder, which decides what an unpaired one becomes.
char *writeLine(char *out, QStringView text, bool isName)
{
    char *const begin = out;
    const char16_t *s = text.utf16();
    const char16_t *const end = s + text.size();
    for (; s != end; ++s) {
        const char16_t c = *s;
        if (c < 0x80) {
            *out++ = c == u'\r' || c == u'\n' || c == 0 ? ' ' : char(c);
        } else if (c < 0x800) {
            *out++ = char(0xC0 | c >> 6);
            *out++ = char(0x80 | (c & 0x3F));
        } else if (!QChar::isSurrogate(c)) {
            *out++ = char(0xE0 | c >> 12);
            *out++ = char(0x80 | (c >> 6 & 0x3F));
            *out++ = char(0x80 | (c & 0x3F));
        } else {
            QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
            char *const from = out;
            out = encoder.appendToBuffer(out, QStringView(s, end));
            for (char *c8 = from; c8 != out; ++c8) {
                if (*c8 == '\r' || *c8 == '\n' || *c8 == '\0')
                    *c8 = ' ';
            }
            break;
        }
    }
    if (isName && begin != out && *begin == '\t')
        *begin = ' ';
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

// Makes the buffer's pages resident in one call instead of one fault a page as they are first
// written. A long list's file is megabytes, and where a fault is dear (a virtual machine) the
// faults cost more than the reading.
void makeResident(QByteArray &buffer)
{
#ifdef MADV_POPULATE_WRITE
    const auto page = quintptr(::sysconf(_SC_PAGESIZE));
    const auto begin = (quintptr(buffer.data()) + page - 1) & ~(page - 1);
    const auto end = (quintptr(buffer.data()) + quintptr(buffer.size())) & ~(page - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
#else
    Q_UNUSED(buffer);
#endif
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
    TextBlocks blocks;
    const auto decodeUtf8 = [&blocks](QByteArrayView bytes, QString &out) {
        const qsizetype units = utf16Units(bytes);
        return blocks.make(units, out,
                           [&](char16_t *room) { return decodeUtf8Into(bytes, room, units); });
    };
    if (parseLines(view, entries, decodeUtf8))
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
    // The rows' texts lie wherever they were made, rarely in list order (after a sort by
    // another column, not at all), so the list is written in one pass and what a row needs is
    // asked for from memory ahead of its turn, so the waits overlap instead of adding up: a
    // row's list of details well ahead, the texts in it when that list has arrived.
    constexpr qsizetype kListsAhead = 16;
    constexpr qsizetype kTextsAhead = 8;
    const qsizetype count = entries.size();
    const auto prefetch = [](const void *p) { __builtin_prefetch(p); };

    // Room for rows of about the usual length; grown when a row would not fit.
    QByteArray out(kUtf8Bom.size() + count * 192, Qt::Uninitialized);
    char *p = out.data();
    const auto makeRoom = [&out, &p](qsizetype needed) {
        const qsizetype used = p - out.constData();
        if (out.size() - used < needed) {
            out.resize(std::max(2 * out.size(), used + needed));
            p = out.data() + used;
        }
    };

    // A first name that begins with U+FEFF would begin the file with the bytes of a byte order
    // mark, which reading drops; a mark of its own in front keeps the character.
    if (!entries.isEmpty() && entries.first().name.startsWith(QChar(0xFEFF))) {
        std::memcpy(p, kUtf8Bom.data(), size_t(kUtf8Bom.size()));
        p += kUtf8Bom.size();
    }

    for (qsizetype i = 0; i < count; ++i) {
        if (i + kListsAhead < count)
            prefetch(entries[i + kListsAhead].details.constData());
        if (i + kTextsAhead < count) {
            const ReminderEntry &ahead = entries[i + kTextsAhead];
            prefetch(ahead.name.constData());
            for (const QString &d : ahead.details)
                prefetch(d.constData());
        }
        const ReminderEntry &e = entries[i];
        // Three bytes a UTF-16 unit at most, and a TAB and a line break around each text.
        qsizetype units = e.name.size() + 2;
        for (const QString &d : e.details)
            units += d.size() + 3;
        makeRoom(units * 3);
        p = writeLine(p, e.name, true);
        for (const QString &d : e.details) {
            *p++ = '\t';
            p = writeLine(p, d, false);
        }
    }
    out.truncate(p - out.constData());
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
    struct stat st
    {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        throw cannotOpenFile(path, systemErrorText(err));
    }
    // Straight into the buffer, one byte more than the file so the read that finds its end
    // needs no room of its own; a file that grew meanwhile is read to its new end.
    bytes.resize(st.st_size > 0 ? st.st_size + 1 : 65536);
    makeResident(bytes);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(fd, bytes.data() + used, size_t(bytes.size() - used));
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw cannotOpenFile(path, systemErrorText(err));
        }
        used += got;
    }
    ::close(fd);
    bytes.truncate(used);
    return parse(bytes, legacyCodec);
}

void save(const QString &path, const ReminderEntries &entries)
{
    if (const int err = writeFileAtomically(path, serialize(entries)); err != 0)
        throw cannotCreateFile(path, systemErrorText(err));
}

} // namespace vellaro::listfile
