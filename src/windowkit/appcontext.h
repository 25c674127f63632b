#pragma once

#include "core/clock.h"
#include "core/localeformats.h"
#include "core/profile.h"
#include "platform/sound.h"

#include <QString>

namespace vellaro {

class AutostartStore;
class DesktopNotifier;
class TrayArea;
class UrlOpener;
class WallClockTimer;

// What every window needs from outside: where its files are and the injected services. The
// program fills it from the executable's location; tests point it at temporary folders. It
// outlives every window.
struct AppContext
{
    QString listPath;       // the reminder list file
    ProfileFile *settings;  // the window settings file
    QString opacitySection; // the executable's file name, without directory
    const Clock *clock;
    LocaleFormats *formats; // replaced when the user changes the regional settings
    Sound *sound = nullptr;
    TrayArea *trayArea = nullptr;        // the notification area
    AutostartStore *autostart = nullptr; // start with the session
    UrlOpener *urlOpener = nullptr;      // the About window's web address
    WallClockTimer *wakeTimer = nullptr; // wakes the check when something can fall due
    DesktopNotifier *notifier = nullptr; // a desktop notification with each alarm
};

} // namespace vellaro
