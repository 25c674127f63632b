#include "platform/userfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

namespace vellaro {

namespace {

const QString kListName = QStringLiteral("List.ul1");
const QString kSettingsName = QStringLiteral("Vellaro.ini");

// An XDG base directory variable counts only when it holds an absolute path.
QString baseDir(const QString &value, const QString &home, const QString &fallback)
{
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(home + u'/' + fallback);
}

// Folders the system's packages own. A program there is an installed one, even when the user
// running it may write there (the superuser may write anywhere): its files never go there.
bool isSystemFolder(const QString &dir)
{
    static const QStringList prefixes{QStringLiteral("/usr"), QStringLiteral("/opt"),
                                      QStringLiteral("/bin"), QStringLiteral("/sbin"),
                                      QStringLiteral("/etc"), QStringLiteral("/var")};
    const QString path = QDir::cleanPath(dir);
    const QString top = path.section(u'/', 1, 1);
    // /lib, /lib32, /lib64, /libx32 and the like.
    if (top.startsWith(QLatin1String("lib")))
        return true;
    return std::any_of(prefixes.cbegin(), prefixes.cend(),
                       [&](const QString &prefix) { return u'/' + top == prefix; });
}

} // namespace

UserFilePaths chooseUserFilePaths(const UserFileFacts &facts)
{
    if ((facts.executableDirWritable || facts.executableDirHoldsList) &&
        !isSystemFolder(facts.executableDir)) {
        const QString dir = facts.executableDir + u'/';
        return {dir + kListName, dir + kSettingsName};
    }
    const QString data = baseDir(facts.xdgDataHome, facts.home, QStringLiteral(".local/share"));
    const QString config = baseDir(facts.xdgConfigHome, facts.home, QStringLiteral(".config"));
    return {data + QStringLiteral("/vellaro/") + kListName,
            config + QStringLiteral("/vellaro/") + kSettingsName};
}

UserFilePaths userFilePathsForExecutable(const QString &executableDir)
{
    UserFileFacts facts;
    facts.executableDir = executableDir;
    // The effective ids decide, as they do for the writes themselves.
    facts.executableDirWritable =
        ::faccessat(AT_FDCWD, QFile::encodeName(executableDir).constData(), W_OK | X_OK,
                    AT_EACCESS) == 0;
    const QFileInfo list(executableDir + u'/' + kListName);
    facts.executableDirHoldsList = list.exists() || list.isSymLink();
    facts.home = QDir::homePath();
    facts.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    facts.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    return chooseUserFilePaths(facts);
}

} // namespace vellaro
