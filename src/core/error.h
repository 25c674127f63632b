#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace vellaro {

// The program's one error type. Its message is exactly what the standard error box shows
// (before the full-stop rule is applied).
class Error final : public std::exception
{
public:
    explicit Error(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The text the standard error box shows for a message: a full stop is appended only when the
// last character's code is above that of ".", so "...)" or "..." stay as they are.
QString errorBoxText(const QString &message);

// The system's text for an errno value, without a closing full stop.
QString systemErrorText(int errnum);

// "Cannot open file "%s". %s" and "Cannot create file "%s". %s".
Error cannotOpenFile(const QString &path, const QString &reason);
Error cannotCreateFile(const QString &path, const QString &reason);

} // namespace vellaro
