#include "platform/autostart.h"

#include "core/atomicfile.h"
#include "core/error.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace vellaro {

namespace {

// Characters that make the Desktop Entry standard ask for a quoted argument.
bool isReserved(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#`()");
    return reserved.contains(c);
}

} // namespace

XdgAutostartStore::XdgAutostartStore(QString valueName, QString folder)
    : m_valueName(std::move(valueName)), m_folder(std::move(folder))
{}

QString XdgAutostartStore::folder() const
{
    if (!m_folder.isEmpty())
        return m_folder;
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart");
}

QString XdgAutostartStore::entryPath() const
{
    return folder() + QLatin1Char('/') + m_valueName + QStringLiteral(".desktop");
}

bool XdgAutostartStore::isOpen() const
{
    const QString path = folder();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return info.isDir() && ::access(QFile::encodeName(path).constData(), R_OK | W_OK | X_OK) == 0;
}

bool XdgAutostartStore::valueExists() const
{
    if (!isOpen())
        return false;
    const QFileInfo info(entryPath());
    return info.exists() || info.isSymLink();
}

bool XdgAutostartStore::deleteValue()
{
    return QFile::remove(entryPath());
}

void XdgAutostartStore::writeValue(const QString &executablePath)
{
    const Error refused(QStringLiteral("Failed to set data for '%1'").arg(m_valueName));
    if (!QDir().mkpath(folder()))
        throw refused;
    // Not QSaveFile: at a file-size limit it commits a cut-off entry and reports success.
    if (writeFileAtomically(entryPath(), entryContent(m_valueName, executablePath)) != 0)
        throw refused;
}

QString XdgAutostartStore::execValue(const QString &executablePath)
{
    QString argument = executablePath;
    if (std::any_of(argument.cbegin(), argument.cend(), isReserved)) {
        QString quoted = QStringLiteral("\"");
        for (QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        argument = quoted + QLatin1Char('"');
    }
    // Field codes start with '%', so a literal one is doubled, quoted or not.
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return stringValue(argument);
}

QString XdgAutostartStore::stringValue(const QString &text)
{
    // A string value of the entry file has escapes of its own; a leading space would be taken
    // for the space after "=".
    QString value;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (c.unicode()) {
        case u'\\':
            value += QStringLiteral("\\\\");
            break;
        case u'\n':
            value += QStringLiteral("\\n");
            break;
        case u'\t':
            value += QStringLiteral("\\t");
            break;
        case u'\r':
            value += QStringLiteral("\\r");
            break;
        case u' ':
            value += i == 0 ? QStringLiteral("\\s") : QStringLiteral(" ");
            break;
        default:
            value += c;
        }
    }
    return value;
}

QByteArray XdgAutostartStore::entryContent(const QString &name, const QString &executablePath)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=%1\n"
                                        "Exec=%2\n"
                                        "TryExec=%3\n"
                                        "Terminal=false\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(name, execValue(executablePath), stringValue(executablePath));
    return text.toUtf8();
}

} // namespace vellaro
