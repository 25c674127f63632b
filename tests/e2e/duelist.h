#pragma once

#include "core/localeformats.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>

#include <tuple>

namespace vellaro::e2e {

// List rows in the Bulgarian texts a program started with LANG=bg_BG.UTF-8 reads, each falling due
// at its moment: (name, moment, notes).
inline QByteArray listOf(const QList<std::tuple<QString, QDateTime, QString>> &rows)
{
    const LocaleFormats bg = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
    QString text;
    for (const auto &[name, due, notes] : rows) {
        text += name + "\r\n\t" + bg.dateText(due.date()) + "\r\n\t" + bg.timeText(due.time()) +
                "\r\n\t" + notes + "\r\n";
    }
    return text.toUtf8();
}

// A list whose only entry falls due the given number of seconds from now.
inline QByteArray listDueIn(int seconds)
{
    return listOf({{QStringLiteral("Среща"), QDateTime::currentDateTime().addSecs(seconds),
                    QStringLiteral("в офиса")}});
}

} // namespace vellaro::e2e
