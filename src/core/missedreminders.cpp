#include "core/missedreminders.h"

#include "core/atomicfile.h"
#include "core/remindercheck.h"
#include "core/reminderlistmodel.h"
#include "core/secondtexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vellaro {

QString lastLookedPath(const QString &listPath)
{
    return QFileInfo(listPath).dir().filePath(QStringLiteral("Vellaro.seen"));
}

std::optional<qint64> readLastLooked(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A few digits; anything longer is not a record of ours.
    const QByteArray text = file.read(64).trimmed();
    bool ok = false;
    const qint64 second = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return second;
}

int writeLastLooked(const QString &path, qint64 second)
{
    return writeFileAtomically(path, QByteArray::number(second) + '\n');
}

QList<MissedReminder> missedWhileOff(std::optional<qint64> recorded, const QDateTime &start,
                                     const ReminderListModel &list, const LocaleFormats &formats)
{
    if (!recorded)
        return {};
    const qint64 to = start.toSecsSinceEpoch() - 1;
    const qint64 from = std::max(*recorded + 1, to + 1 - ReminderCheck::kMaxLookBackSeconds);
    return rowsDueBetween(from, to, start, list, formats);
}

QList<MissedReminder> rowsDueBetween(qint64 from, qint64 to, const QDateTime &now,
                                     const ReminderListModel &list, const LocaleFormats &formats)
{
    QList<MissedReminder> missed;
    const ReminderEntries &rows = list.rows();
    walkSecondTexts(from, to, now, formats, [&](const QString &dateText, const QString &timeText) {
        if (list.countWithTexts(dateText, timeText) > 0) {
            for (const int row : list.rowsWithTexts(dateText, timeText))
                missed.append({rows[row].name, dateText, timeText});
        }
        return false;
    });
    return missed;
}

QString missedReportText(const QList<MissedReminder> &missed)
{
    QStringList lines;
    for (const MissedReminder &m :
         missed.first(std::min<qsizetype>(missed.size(), kMissedReportLines)))
        lines << QStringLiteral("%1 — %2 %3").arg(m.name, m.dateText, m.timeText);
    if (missed.size() > kMissedReportLines)
        lines << QStringLiteral("и още %1").arg(missed.size() - kMissedReportLines);
    return lines.join(u'\n');
}

} // namespace vellaro
