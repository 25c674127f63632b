#include "core/error.h"

#include <cstring>

namespace vellaro {

QString errorBoxText(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

QString systemErrorText(int errnum)
{
    QString text = QString::fromLocal8Bit(std::strerror(errnum));
    while (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

Error cannotOpenFile(const QString &path, const QString &reason)
{
    return Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
}

Error cannotCreateFile(const QString &path, const QString &reason)
{
    return Error(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
}

} // namespace vellaro
