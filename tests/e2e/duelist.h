#pragma once

#include "localeformats.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>

namespace vellaro::e2e {

// A list whose only entry falls due the given number of seconds from now, in the Bulgarian
// texts a program started with LANG=bg_BG.UTF-8 reads.
inline QByteArray listDueIn(int seconds)
{
    const LocaleFormats bg = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
    const QDateTime due = QDateTime::currentDateTime().addSecs(seconds);
    return ("Среща\r\n\t" + bg.dateText(due.date()) + "\r\n\t" + bg.timeText(due.time()) +
            "\r\n\tв офиса\r\n")
        .toUtf8();
}

} // namespace vellaro::e2e
