#pragma once

#include "common/faketime.h"
#include "core/localeformats.h"
#include "core/profile.h"
#include "windowkit/appcontext.h"
#include "windowkit/guard.h"

#include <QFile>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>

namespace vellaro {

// What a window test starts from: a new temporary folder for the list and the settings file, the
// fake clock at 9:05:07 on 9 December 2026, the Bulgarian formats, the context over them, and
// the error box's texts kept instead of shown. Made anew for each test function.
struct Workspace
{
    Workspace()
    {
        setErrorBoxHandler([this](const QString &text) { errors << text; });
    }
    ~Workspace() { setErrorBoxHandler({}); }
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;

    QString listPath() const { return dir.filePath(QStringLiteral("List.ul1")); }
    // Writes the list file as the program will find it.
    bool writeList(const QByteArray &bytes) const
    {
        QFile list(listPath());
        return list.open(QIODevice::WriteOnly) && list.write(bytes) == bytes.size();
    }

    QTemporaryDir dir;
    ProfileFile ini{dir.filePath(QStringLiteral("Vellaro.ini"))};
    FakeClock clock{QDateTime(QDate(2026, 12, 9), QTime(9, 5, 7))};
    LocaleFormats formats =
        LocaleFormats::fromLocale(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
    AppContext context{listPath(), &ini, QStringLiteral("vellaro"), &clock, &formats};
    QStringList errors;
};

} // namespace vellaro
