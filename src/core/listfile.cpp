#include "listfile.h"

#include "atomicfile.h"
#include "error.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

// The different texts of one column read so far, found by their bytes. A slot holds 32 bits of
// the bytes' hash and the text's number, so a look-up passes over other texts without reading
// them, and only a text whose hash matches is compared. The table keeps no bytes and no strings
// of its own: the list holds the texts.
class SharedTexts
{
public:
    using TextId = ReminderRows::TextId;

    // The text `same` accepts among those whose bytes hashed alike, if any.
    template <typename Same> bool find(quint32 hash, TextId &found, Same &&same) const
    {
        if (m_count == 0)
            return false;
        for (size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const quint64 slot = m_slots[at];
            if (slot == 0)
                return false;
            if (quint32(slot >> 32) == hash && same(TextId(quint32(slot) - 1))) {
                found = TextId(quint32(slot) - 1);
                return true;
            }
        }
    }

    // Remembers the text; stops remembering once it holds as many texts as it may (a file of
    // nothing but different texts).
    void add(quint32 hash, TextId text)
    {
        constexpr size_t kMaxTexts = 1 << 16;
        if (m_count >= kMaxTexts || text >= UINT32_MAX - 1)
            return;
        if (4 * (m_count + 1) > 3 * m_slots.size())
            grow();
        place(quint64(hash) << 32 | quint64(text + 1));
        ++m_count;
    }

private:
    void place(quint64 slot)
    {
        size_t at = size_t(slot >> 32) & m_mask;
        while (m_slots[at] != 0)
            at = (at + 1) & m_mask;
        m_slots[at] = slot;
    }

    void grow()
    {
        const std::vector<quint64> old = std::exchange(m_slots, {});
        m_slots.assign(std::max<size_t>(1024, 2 * old.size()), 0);
        m_mask = m_slots.size() - 1;
        for (const quint64 slot : old) {
            if (slot != 0)
                place(slot);
        }
    }

    std::vector<quint64> m_slots;
    size_t m_mask = 0;
    size_t m_count = 0;
};

// Whether valid UTF-8 bytes are the text: ASCII and two-byte sequences (Cyrillic) are compared
// as they are read, anything longer is decoded first. Bytes that are not UTF-8 are no text.
bool isUtf8Of(QByteArrayView in, QStringView text)
{
    const auto *p = reinterpret_cast<const unsigned char *>(in.data());
    const auto *const end = p + in.size();
    const char16_t *t = text.utf16();
    const char16_t *const tEnd = t + text.size();
    const auto cont = [](unsigned char c) { return (c & 0xC0) == 0x80; };
    while (p != end) {
        if (t == tEnd)
            return false;
        const unsigned char c = *p;
        if (c < 0x80) {
            if (*t != c)
                return false;
            ++p;
            ++t;
        } else if (c >= 0xC2 && c < 0xE0 && end - p >= 2 && cont(p[1])) {
            if (*t != char16_t((c & 0x1F) << 6 | (p[1] & 0x3F)))
                return false;
            p += 2;
            ++t;
        } else {
            const QByteArrayView rest(p, end - p);
            const qsizetype units = utf16Units(rest);
            if (units != tEnd - t)
                return false;
            QVarLengthArray<char16_t, 256> decoded(units);
            return decodeUtf8Into(rest, decoded.data(), units) &&
                   std::equal(t, tEnd, decoded.data());
        }
    }
    return t == tEnd;
}

// The decoding of a list written as UTF-8, as it is written today. A text decoded before is
// compared with the bytes instead of decoded again.
class Utf8Texts
{
public:
    bool decode(QByteArrayView bytes, QString &out)
    {
        const qsizetype units = utf16Units(bytes);
        return m_blocks.make(units, out,
                             [&](char16_t *room) { return decodeUtf8Into(bytes, room, units); });
    }
    static bool same(QByteArrayView bytes, const QString &text) { return isUtf8Of(bytes, text); }
    // The text's hash, from the hash of the bytes it was decoded from: they are its UTF-8.
    static quint32 textHash(quint32 bytesHash, const QString &) { return bytesHash; }

private:
    TextBlocks m_blocks;
};

// The decoding of a list that an 8-bit program wrote in the code page of its language.
class CodePageTexts
{
public:
    explicit CodePageTexts(const char *codePage)
        : m_decoder(codePage, QStringDecoder::Flag::Stateless)
    {}
    bool decode(QByteArrayView bytes, QString &out)
    {
        out = m_decoder.isValid() ? m_decoder.decode(bytes) : QString::fromLatin1(bytes);
        return true;
    }
    bool same(QByteArrayView bytes, const QString &text)
    {
        QString decoded;
        decode(bytes, decoded);
        return decoded == text;
    }
    static quint32 textHash(quint32, const QString &text) { return ReminderRows::hashOf(text); }

private:
    QStringDecoder m_decoder;
};

// The lines of a list, read from an open file through a buffer of its own or taken from bytes
// in memory. A line is handed out without its line break and stays valid until the next one is
// asked for. The text begins after a UTF-8 byte order mark and ends at the first NUL.
class LineReader
{
public:
    explicit LineReader(QByteArrayView bytes) : m_bytes(bytes) { rewind(); }
    LineReader(int fd, const QString &path) : m_fd(fd), m_path(path) { rewind(); }

    // Back to the first line.
    void rewind()
    {
        m_offset = 0;
        m_bomChecked = false;
        if (m_fd < 0) {
            const qsizetype nul = m_bytes.indexOf('\0');
            m_pos = m_bytes.data();
            m_end = m_pos + (nul >= 0 ? nul : m_bytes.size());
            m_atEnd = true;
        } else {
            m_pos = m_end = m_buffer.data();
            m_atEnd = false;
        }
    }

    // The next line; false at the end of the text. Throws the open error when reading fails.
    bool next(QByteArrayView &line)
    {
        for (;;) {
            if (!m_bomChecked && (m_end - m_pos >= kUtf8Bom.size() || m_atEnd)) {
                if (QByteArrayView(m_pos, m_end - m_pos).startsWith(kUtf8Bom))
                    m_pos += kUtf8Bom.size();
                m_bomChecked = true;
            }
            if (m_bomChecked) {
                if (m_pos == m_end && m_atEnd)
                    return false;
                const char *const lineEnd = lineEndFrom(m_pos, m_end);
                // A CR that ends the bytes at hand may be the first half of a CR LF.
                const bool whole = lineEnd < m_end - 1 || (lineEnd < m_end && *lineEnd == '\n');
                if (whole || m_atEnd) {
                    line = QByteArrayView(m_pos, lineEnd - m_pos);
                    m_pos = lineEnd;
                    if (m_pos < m_end && *m_pos == '\r')
                        ++m_pos;
                    if (m_pos < m_end && *m_pos == '\n')
                        ++m_pos;
                    return true;
                }
            }
            readMore();
        }
    }

private:
    // Small enough to stay in the processor's cache, large enough that a long list takes few
    // reads; a longer line grows it.
    static constexpr qsizetype kBufferSize = 128 * 1024;

    void readMore()
    {
        const qsizetype kept = m_end - m_pos;
        if (m_buffer.isEmpty() || kept == m_buffer.size()) {
            QByteArray larger(std::max(kBufferSize, 2 * m_buffer.size()), Qt::Uninitialized);
            std::memcpy(larger.data(), m_pos, size_t(kept));
            m_buffer = std::move(larger);
        } else {
            std::memmove(m_buffer.data(), m_pos, size_t(kept));
        }
        m_pos = m_buffer.data();
        m_end = m_pos + kept;
        for (;;) {
            const ssize_t got =
                ::pread(m_fd, m_buffer.data() + kept, size_t(m_buffer.size() - kept), m_offset);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw cannotOpenFile(m_path, systemErrorText(errno));
            m_offset += got;
            if (got == 0) {
                m_atEnd = true;
            } else if (const void *nul = std::memchr(m_end, '\0', size_t(got))) {
                m_end = static_cast<const char *>(nul);
                m_atEnd = true;
            } else {
                m_end += got;
            }
            return;
        }
    }

    QByteArrayView m_bytes;
    int m_fd = -1;
    QString m_path;
    off_t m_offset = 0;
    QByteArray m_buffer;
    const char *m_pos = nullptr;
    const char *m_end = nullptr;
    bool m_atEnd = false;
    bool m_bomChecked = false;
};

// Builds the rows from the lines. The line breaks, TAB and the characters trimmed from details
// are all single bytes below 0x80, the same in UTF-8 and in every 8-bit code page, so the work is
// done on bytes and each line is decoded once. False when a text does not decode.
template <typename Texts> bool parseLines(LineReader &lines, ReminderRows &rows, Texts &texts)
{
    using TextId = ReminderRows::TextId;
    // Each different text of a column is decoded and stored once, and every row that has it
    // holds its number: one table for the names and one for each of the three details a row
    // keeps by number; further details are each decoded on their own.
    constexpr qsizetype kTables = 1 + ReminderRows::kInlineDetails;
    std::array<SharedTexts, kTables> sharedTexts;
    // A list saved sorted by a column repeats that column's text from row to row: the bytes of
    // each column's last text are kept, and a text equal to them is found without a look into
    // the tables.
    std::array<QByteArray, kTables> lastBytes;
    std::array<TextId, kTables> lastText;
    lastText.fill(ReminderRows::kEmptyText);
    // The number of the text of these bytes in `column`, stored now if it is new.
    const auto sharedText = [&](QByteArrayView bytes, qsizetype column, TextId &id) {
        if (bytes.isEmpty()) {
            id = ReminderRows::kEmptyText;
            return true;
        }
        QByteArray &last = lastBytes[size_t(column)];
        if (last == bytes) {
            id = lastText[size_t(column)];
            return true;
        }
        SharedTexts &table = sharedTexts[size_t(column)];
        const quint32 hash = ReminderRows::hashOfUtf8(bytes);
        if (!table.find(hash, id, [&](TextId t) { return texts.same(bytes, rows.textOf(t)); })) {
            QString text;
            if (!texts.decode(bytes, text))
                return false;
            const quint32 textHash = texts.textHash(hash, text);
            id = rows.addText(std::move(text), textHash);
            table.add(hash, id);
        }
        last.resize(bytes.size());
        std::memcpy(last.data(), bytes.data(), size_t(bytes.size()));
        lastText[size_t(column)] = id;
        return true;
    };

    QByteArrayView line;
    qsizetype details = 0;
    TextId id = ReminderRows::kEmptyText;
    while (lines.next(line)) {
        if (line.startsWith('\t')) {
            if (rows.isEmpty())
                continue;
            const char *b = line.data();
            const char *e = b + line.size();
            while (b < e && isControlOrSpace(*b))
                ++b;
            while (e > b && isControlOrSpace(e[-1]))
                --e;
            const QByteArrayView text(b, e - b);
            if (++details <= ReminderRows::kInlineDetails) {
                if (!sharedText(text, details, id))
                    return false;
                rows.appendDetail(id);
            } else {
                QString decoded;
                if (!text.isEmpty() && !texts.decode(text, decoded))
                    return false;
                rows.appendDetail(std::move(decoded));
            }
        } else {
            if (!sharedText(line, 0, id))
                return false;
            rows.appendRow(id);
            details = 0;
        }
    }
    return true;
}

// Reads the rows in file order: as UTF-8, and when the text is not UTF-8 again from the start in
// the legacy code page.
ReminderRows readRows(LineReader &lines, const char *legacyCodec)
{
    {
        ReminderRows rows;
        Utf8Texts utf8;
        if (parseLines(lines, rows, utf8))
            return rows;
    }
    lines.rewind();
    ReminderRows rows;
    CodePageTexts legacy(legacyCodec);
    parseLines(lines, rows, legacy);
    return rows;
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

// Writes the rows' lines into `out`, which hands out room for them: out.room(n) gives a place
// with at least n bytes free, out.done(p) takes what was written up to p.
template <typename Out> void writeRows(const ReminderRows &rows, Out &out)
{
    // The rows' texts lie wherever they were made, rarely in list order (after a sort by
    // another column, not at all), so the texts a row needs are asked for from memory a few
    // rows ahead of its turn, so the waits overlap instead of adding up.
    constexpr qsizetype kTextsAhead = 8;
    const qsizetype count = rows.size();

    // A first name that begins with U+FEFF would begin the file with the bytes of a byte order
    // mark, which reading drops; a mark of its own in front keeps the character.
    if (!rows.isEmpty() && rows.name(0).startsWith(QChar(0xFEFF))) {
        char *p = out.room(kUtf8Bom.size());
        std::memcpy(p, kUtf8Bom.data(), size_t(kUtf8Bom.size()));
        out.done(p + kUtf8Bom.size());
    }

    for (qsizetype i = 0; i < count; ++i) {
        if (i + kTextsAhead < count) {
            for (int column = 0; column <= ReminderRows::kInlineDetails; ++column)
                __builtin_prefetch(rows.text(i + kTextsAhead, column).constData());
        }
        const QString &name = rows.name(i);
        const qsizetype details = rows.detailCount(i);
        // Three bytes a UTF-16 unit at most, and a TAB and a line break around each text.
        qsizetype units = name.size() + 2;
        for (qsizetype k = 0; k < details; ++k)
            units += rows.detail(i, k).size() + 3;
        char *p = out.room(units * 3);
        p = writeLine(p, name, true);
        for (qsizetype k = 0; k < details; ++k) {
            *p++ = '\t';
            p = writeLine(p, rows.detail(i, k), false);
        }
        out.done(p);
    }
}

// Room in one array that grows as the rows need.
class GrowingOutput
{
public:
    explicit GrowingOutput(qsizetype expected) : m_bytes(expected, Qt::Uninitialized) {}
    char *room(qsizetype needed)
    {
        if (m_bytes.size() - m_used < needed)
            m_bytes.resize(std::max(2 * m_bytes.size(), m_used + needed));
        return m_bytes.data() + m_used;
    }
    void done(const char *end) { m_used = end - m_bytes.constData(); }
    QByteArray take()
    {
        m_bytes.truncate(m_used);
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    qsizetype m_used = 0;
};

// Room in one small array that is handed on to the file each time it fills, so a long list is
// written without ever being in memory whole.
class PieceOutput
{
public:
    explicit PieceOutput(const AtomicWrite &write) : m_write(write) {}
    char *room(qsizetype needed)
    {
        if (m_bytes.size() - m_used < needed) {
            flush();
            if (m_bytes.size() < needed)
                m_bytes.resize(std::max(kPieceSize, needed));
        }
        return m_bytes.data() + m_used;
    }
    void done(const char *end) { m_used = end - m_bytes.constData(); }
    void flush()
    {
        if (m_used > 0)
            m_write(QByteArrayView(m_bytes.constData(), m_used));
        m_used = 0;
    }

private:
    static constexpr qsizetype kPieceSize = 128 * 1024;
    const AtomicWrite &m_write;
    QByteArray m_bytes;
    qsizetype m_used = 0;
};

// Closes a file on every way out.
struct FileCloser
{
    int fd;
    ~FileCloser() { ::close(fd); }
};

} // namespace

ReminderRows parse(const QByteArray &bytes, const char *legacyCodec)
{
    LineReader lines(bytes);
    return readRows(lines, legacyCodec);
}

QByteArray serialize(const ReminderRows &rows)
{
    GrowingOutput out(kUtf8Bom.size() + rows.size() * 160);
    writeRows(rows, out);
    return out.take();
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

ReminderRows load(const QString &path, const char *legacyCodec)
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
    // Read a piece at a time, to the file's end, whatever its size said: a file that grew
    // meanwhile is read to its new end.
    LineReader lines(fd, path);
    return readRows(lines, legacyCodec);
}

void save(const QString &path, const ReminderRows &rows)
{
    const int err = writeFileAtomically(path, [&rows](const AtomicWrite &write) {
        PieceOutput out(write);
        writeRows(rows, out);
        out.flush();
    });
    if (err != 0)
        throw cannotCreateFile(path, systemErrorText(err));
}

} // namespace vellaro::listfile
