#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <initializer_list>

namespace vellaro {

// The application title: the caption of the standard error box.
inline constexpr char16_t kApplicationTitle[] = u"Vellaro  Version 2.0";

// Shows the standard error box (stop icon, one OK button, the application title as caption) with
// the message after the full-stop rule.
void showErrorBox(const QString &message);

// Tests capture the error box's text instead of showing a modal box. Pass an empty function to
// restore the real box.
using ErrorBoxHandler = std::function<void(const QString &text)>;
void setErrorBoxHandler(ErrorBoxHandler handler);

// Shows a caught exception in the error box.
void reportException(std::exception_ptr error) noexcept;

// Runs every step whatever the ones before it did, then shows what failed in one error box,
// each different message once: at exit a read-only folder fails the list and every window's
// settings alike, and one box says it all.
void guardedSteps(const std::initializer_list<std::function<void()>> &steps) noexcept;

// Every handler that Qt calls runs through here: an error skips the rest of the handler, is shown
// in the standard error box and the program carries on. No exception reaches the event loop.
template <typename F> void guarded(F &&handler) noexcept
{
    try {
        std::forward<F>(handler)();
    } catch (...) {
        reportException(std::current_exception());
    }
}

// A slot that runs a member handler through the guard.
template <typename T, typename... Args> auto guardedSlot(T *object, void (T::*handler)(Args...))
{
    return [object, handler](Args... args) { guarded([&] { (object->*handler)(args...); }); };
}

} // namespace vellaro
