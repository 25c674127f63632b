#include "windowkit/guard.h"

#include "core/error.h"

#include <QApplication>
#include <QMessageBox>

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

void reportException(std::exception_ptr error) noexcept
{
    try {
        try {
            std::rethrow_exception(error);
        } catch (const Error &e) {
            showErrorBox(e.message());
        } catch (const std::bad_alloc &) {
            showErrorBox(QStringLiteral("Out of memory"));
        } catch (const std::exception &e) {
            showErrorBox(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            showErrorBox(QStringLiteral("Unknown error"));
        }
    } catch (...) {
        // Showing the box itself failed; there is nothing left to tell the user with.
    }
}

} // namespace vellaro
