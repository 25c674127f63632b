#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <initializer_list>
#include <memory>
#include <utility>

namespace vellaro {

// A row's detail texts, in order: the date text, the time text and the notes. Those three are
// kept in the row itself, so a row costs no allocation of its own (a long list holds a hundred
// thousand rows); a row read from a hand-edited file may carry more, kept after them.
class ReminderDetails
{
public:
    static constexpr qsizetype kInline = 3;

    ReminderDetails() = default;
    ReminderDetails(const ReminderDetails &other);
    ReminderDetails(ReminderDetails &&other) noexcept
        : m_inline(std::move(other.m_inline)), m_more(std::move(other.m_more)),
          m_size(std::exchange(other.m_size, 0))
    {}
    ReminderDetails &operator=(const ReminderDetails &other);
    ReminderDetails &operator=(ReminderDetails &&other) noexcept
    {
        m_inline = std::move(other.m_inline);
        m_more = std::move(other.m_more);
        m_size = std::exchange(other.m_size, 0);
        return *this;
    }
    ~ReminderDetails() = default;
    ReminderDetails(std::initializer_list<QString> texts);
    ReminderDetails(const QStringList &texts); // NOLINT: a list of texts is a row's details

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    const QString &at(qsizetype i) const
    {
        Q_ASSERT(i >= 0 && i < m_size);
        return i < kInline ? m_inline[size_t(i)] : m_more->at(i - kInline);
    }
    QString &operator[](qsizetype i)
    {
        Q_ASSERT(i >= 0 && i < m_size);
        return i < kInline ? m_inline[size_t(i)] : (*m_more)[i - kInline];
    }
    const QString &operator[](qsizetype i) const { return at(i); }
    QString value(qsizetype i) const { return i >= 0 && i < m_size ? at(i) : QString(); }
    const QString &last() const { return at(m_size - 1); }

    void append(QString text);
    QStringList toList() const;

    // Walks the texts in order.
    template <typename Details, typename Text> class Iterator
    {
    public:
        using difference_type = qsizetype;
        using value_type = QString;
        using reference = Text &;
        Iterator(Details *details, qsizetype at) : m_details(details), m_at(at) {}
        Text &operator*() const { return (*m_details)[m_at]; }
        Iterator &operator++()
        {
            ++m_at;
            return *this;
        }
        bool operator==(const Iterator &other) const { return m_at == other.m_at; }

    private:
        Details *m_details;
        qsizetype m_at;
    };
    using iterator = Iterator<ReminderDetails, QString>;
    using const_iterator = Iterator<const ReminderDetails, const QString>;
    iterator begin() { return {this, 0}; }
    iterator end() { return {this, m_size}; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_size}; }

    friend bool operator==(const ReminderDetails &a, const ReminderDetails &b);
    friend bool operator==(const ReminderDetails &a, const QStringList &b)
    {
        return a == ReminderDetails(b);
    }

private:
    std::array<QString, kInline> m_inline;
    // Only for a row with more details than kInline; a pointer, not a list, keeps every row
    // 16 bytes smaller.
    std::unique_ptr<QStringList> m_more;
    qsizetype m_size = 0;
};

// One reminder: the list row's caption is the name, then its details. A row read from a
// hand-edited file may carry more or fewer details; they stay with it and are written back as
// they are.
struct ReminderEntry
{
    QString name;
    ReminderDetails details;

    friend bool operator==(const ReminderEntry &, const ReminderEntry &) = default;
};

using ReminderEntries = QList<ReminderEntry>;

// Ordinal, case-sensitive comparison of two rows by a list column: 0 compares the names, k > 0
// compares detail k - 1. A row without that detail compares as if it were empty, so rows from a
// short hand-edited file sort first instead of failing.
int compareEntries(const ReminderEntry &a, const ReminderEntry &b, int column);
// The text a row is compared by in that column (an empty one when the row has no such detail).
const QString &sortText(const ReminderEntry &e, int column);

// Texts entering the list are made safe so that no row can break the line structure of the list
// file: CR, LF and NUL become spaces, and a name cannot start with TAB (that would read back as a
// detail line).
QString sanitizedName(QString name);
QString sanitizedDetail(QString detail);

} // namespace vellaro

// Its members move in memory as they are, so a growing list moves rows by copying bytes.
Q_DECLARE_TYPEINFO(vellaro::ReminderDetails, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(vellaro::ReminderEntry, Q_RELOCATABLE_TYPE);
