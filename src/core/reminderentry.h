#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace vellaro {

// One reminder: the list row's caption is the name; its detail texts are, in order, the date
// text, the time text and the notes. A row read from a hand-edited file may carry more or fewer
// details; they stay with it and are written back as they are.
struct ReminderEntry
{
    QString name;
    QStringList details;

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
Q_DECLARE_TYPEINFO(vellaro::ReminderEntry, Q_RELOCATABLE_TYPE);
