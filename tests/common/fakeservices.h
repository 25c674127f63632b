#pragma once

// The fakes of the platform's services: what the program asks of them is kept for the test to
// read, and the test plays what the desktop would do.

#include "core/error.h"
#include "platform/autostart.h"
#include "platform/desktopnotifier.h"
#include "platform/sound.h"
#include "platform/trayarea.h"
#include "platform/urlopener.h"

#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QStringList>

namespace vellaro {

// Records the alarms asked for; `playing` is whether the last one still sounds.
class FakeSound final : public Sound
{
public:
    bool startAlarm(const QString &path) override
    {
        played << path;
        playing = plays;
        return plays;
    }
    void stopAlarm() override { playing = false; }
    void playEvent(const QString &eventId) override { events << eventId; }
    QStringList played;
    QStringList events;
    bool plays = true;
    bool playing = false;
};

// The start-with-session store as the handlers see it.
class FakeAutostart final : public AutostartStore
{
public:
    bool isOpen() const override { return open; }
    bool valueExists() const override { return open && exists; }
    bool deleteValue() override
    {
        log << "delete";
        exists = false;
        return true;
    }
    void writeValue(const QString &path) override
    {
        log << "write " + path;
        if (refuseWrite)
            throw Error("Failed to set data for 'Vellaro'");
        exists = true;
    }

    bool open = true;
    bool exists = false;
    bool refuseWrite = false;
    QStringList log;
};

// The desktop's notifications: what is on the desktop now, and every post in order.
class FakeNotifier final : public DesktopNotifier
{
public:
    quint64 post(const AlarmNotification &notification) override
    {
        posted << notification;
        shown << posted.size();
        return posted.size();
    }
    void withdraw(quint64 notification) override { shown.removeOne(notification); }
    quint64 inform(const QString &summary, const QString &body) override
    {
        informed << QStringList{summary, body};
        return 1000 + informed.size(); // numbered apart from the alarms
    }
    QList<QStringList> informed;
    QList<AlarmNotification> posted;
    QList<quint64> shown;
};

class FakeUrlOpener final : public UrlOpener
{
public:
    void openUrl(const QString &address) override { opened << address; }
    QStringList opened;
};

// A notification area for tests: it keeps what the icon shows, and the test plays the user's
// clicks on the icon and the area coming and going.
class FakeTrayArea final : public TrayArea
{
public:
    bool isAvailable() const override { return available; }
    void showIcon(const QIcon &shownIcon, const QString &shownTip, QMenu *shownMenu) override
    {
        shown = true;
        icon = shownIcon;
        tip = shownTip;
        menu = shownMenu;
    }
    void hideIcon() override { shown = false; }

    void click(QSystemTrayIcon::ActivationReason reason) { emit activated(reason); }
    // A double-click as the desktop reports it: the click of its first press, then the double.
    void doubleClick()
    {
        click(QSystemTrayIcon::Trigger);
        click(QSystemTrayIcon::DoubleClick);
    }
    void setAvailable(bool now)
    {
        available = now;
        emit availabilityChanged(now);
    }

    bool available = true;
    bool shown = false;
    QIcon icon;
    QString tip;
    QPointer<QMenu> menu;
};

} // namespace vellaro
