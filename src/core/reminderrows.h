#pragma once

#include "reminderentry.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace vellaro {

// The reminders as the program keeps them for the whole run. A long list repeats its texts all
// through (dates, times, and the names and notes of reminders that come back), so each text is
// kept once, in a table of texts, and a row holds the numbers of its name and of its first three
// details: 20 bytes a row instead of four strings. A row read from a hand-edited file may carry
// more details than three; those follow in a list of their own. A row's count of details is kept
// exactly: a row with an empty last detail is another row than one without it.
//
// Texts are handed out as references into the table, valid until the next change of the rows.
class ReminderRows
{
public:
    using TextId = quint32;
    // The empty text is always there, under this number.
    static constexpr TextId kEmptyText = 0;
    static constexpr qsizetype kInlineDetails = 3;

    ReminderRows();
    ReminderRows(const ReminderEntries &entries); // NOLINT: entries are rows
    ReminderEntries toEntries() const;
    friend bool operator==(const ReminderRows &rows, const ReminderEntries &entries)
    {
        return rows.toEntries() == entries;
    }

    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }

    const QString &name(qsizetype row) const { return m_texts[m_rows[row].name]; }
    qsizetype detailCount(qsizetype row) const;
    // Detail k of the row; the empty text when the row has no such detail.
    const QString &detail(qsizetype row, qsizetype k) const;
    // A list column's text: 0 is the name, c > 0 detail c - 1 (empty when the row has none).
    const QString &text(qsizetype row, int column) const { return m_texts[textId(row, column)]; }
    // The number of that text; rows whose texts have the same number have the same text (the
    // reverse need not hold).
    TextId textId(qsizetype row, int column) const;
    const QString &textOf(TextId id) const { return m_texts[id]; }
    // The hash of a text's UTF-8 bytes, worked out once when the text was stored.
    quint32 textHash(TextId id) const { return m_hashes[id]; }
    // Every number a text has is below this.
    qsizetype textCount() const { return qsizetype(m_texts.size()); }
    ReminderEntry entry(qsizetype row) const;

    void insert(qsizetype row, const ReminderEntry &entry);
    void remove(qsizetype row);
    void setName(qsizetype row, const QString &name);
    // Missing details before it are added empty.
    void setDetail(qsizetype row, qsizetype k, const QString &text);
    // Row i takes the row that stood at order[i]; `order` is a permutation, used up here.
    void reorder(std::vector<int> &order);

    // Building a list row by row, as the list file is read: a text is stored once with
    // addText() and given to every row that has it.
    TextId addText(QString text)
    {
        const quint32 hash = hashOf(text);
        return addText(std::move(text), hash);
    }
    // The same, for a reader that has the hash of the text's UTF-8 bytes already.
    TextId addText(QString text, quint32 hash);

    // Hashes of a text's UTF-8 bytes, seeded for the process as Qt's own hash tables are, so
    // that no file can be made to put its texts all in one run of slots.
    static quint32 hashOfUtf8(QByteArrayView bytes);
    static quint32 hashOf(QStringView text);
    // Room for so many rows and different texts.
    void reserve(qsizetype rows, qsizetype texts);
    void appendRow(TextId name);
    // The last row's next detail: one of its first three by number, any detail as a text.
    void appendDetail(TextId text);
    void appendDetail(QString text);

private:
    static constexpr TextId kNoText = ~TextId(0);
    struct Row
    {
        TextId name;
        std::array<TextId, kInlineDetails> details;
        // 0, or 1 + the place of the row's further details in m_more.
        quint32 more;
    };

    bool hasRoomForSharedDetail() const;
    void use(TextId id) { ++m_uses[id]; }
    void release(TextId id);
    void releaseRow(const Row &row);
    Row rowOf(const ReminderEntry &entry);

    QList<Row> m_rows;
    QList<QString> m_texts;
    QList<quint32> m_hashes;
    // How many row texts hold each text; a text no row holds is forgotten and its place reused.
    QList<quint32> m_uses;
    std::vector<TextId> m_freeTexts;
    std::vector<QStringList> m_more;
    std::vector<quint32> m_freeMore;
};

} // namespace vellaro
