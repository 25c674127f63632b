#pragma once

#include "core/reminderentry.h"

#include <QByteArray>
#include <QLocale>

namespace vellaro::listfile {

// The list file is line-oriented text: an entry line holds the name exactly as stored, each
// following line that begins with TAB holds one detail. Lines end in CR LF when written; on
// reading CR LF, a lone CR and a lone LF all end a line, and the text ends at the first NUL.

// Bytes to rows, in file order. Each line is decoded on its own: a line that is valid UTF-8 is
// UTF-8, any other was written by an 8-bit program and is read in the given code page (see
// legacyCodePage), so one such line leaves the rest of the list as it is.
ReminderEntries parse(const QByteArray &bytes, const char *legacyCodec = "windows-1251");

// Rows to bytes, UTF-8, every line ended by CR LF; an empty list gives zero bytes.
QByteArray serialize(const ReminderEntries &rows);

// The 8-bit code page that programs of the locale's language wrote their text files in.
const char *legacyCodePage(const QLocale &locale);

// Reads the whole file; throws Error("Cannot open file ...") when it is missing or unreadable.
ReminderEntries load(const QString &path, const char *legacyCodec = "windows-1251");

// Replaces the file atomically: a failed write leaves the previous file whole and throws
// Error("Cannot create file ...").
void save(const QString &path, const ReminderEntries &rows);

} // namespace vellaro::listfile
