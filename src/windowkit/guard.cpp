#include "windowkit/guard.h"

#include "core/error.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>

namespace vellaro {

namespace {

ErrorBoxHandler &handlerSlot()
{
    static ErrorBoxHandler handler;
    return handler;
}

} // namespace

void setErrorBoxHandler(ErrorBoxHandler handler)
{
    handlerSlot() = std::move(handler);
}

void showErrorBox(const QString &message)
{
    const QString text = errorBoxText(message);
    if (const ErrorBoxHandler &handler = handlerSlot()) {
        handler(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QString::fromUtf16(kApplicationTitle), text,
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

namespace {

QString exceptionMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error &e) {
        return e.message();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace

void reportException(std::exception_ptr error) noexcept
{
    try {
        showErrorBox(exceptionMessage(error));
    } catch (...) {
        // Showing the box itself failed; there is nothing left to tell the user with.
    }
}

void guardedSteps(const std::initializer_list<std::function<void()>> &steps) noexcept
{
    try {
        QStringList failures;
        for (const std::function<void()> &step : steps) {
            try {
                step();
            } catch (...) {
                const QString text = errorBoxText(exceptionMessage(std::current_exception()));
                if (!failures.contains(text))
                    failures << text;
            }
        }
        if (!failures.isEmpty())
            showErrorBox(failures.join(u'\n'));
    } catch (...) {
        // As above: nothing left to tell the user with.
    }
}

} // namespace vellaro
