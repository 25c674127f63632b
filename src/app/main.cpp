#include "aboutwindow.h"
#include "alarmwindow.h"
#include "appexit.h"
#include "autostart.h"
#include "canberrasound.h"
#include "deferrediconstyle.h"
#include "exitsignals.h"
#include "guard.h"
#include "icons.h"
#include "instancelock.h"
#include "mainwindow.h"
#include "remindereditor.h"
#include "systemtrayarea.h"
#include "transparencydialog.h"
#include "urlopener.h"
#include "userfiles.h"
#include "wallclocktimer.h"

#include <QApplication>
#include <QFileInfo>
#include <QSessionManager>

#include <csignal>
#include <memory>
#include <vector>

using namespace vellaro;

int main(int argc, char *argv[])
{
    // A file-size limit reached while saving must fail that write (and show its error box), not
    // end the program on the spot with everything unsaved.
    std::signal(SIGXFSZ, SIG_IGN);

    // A second start ends at once, before anything is shown, and leaves the first alone.
    FileInstanceLock instanceLock;
    if (!instanceLock.tryAcquire())
        return 0;

    QApplication app(argc, argv);
    QApplication::setStyle(new DeferredIconStyle);
    QApplication::setApplicationName(QStringLiteral("vellaro"));
    // The desktop entry's name: desktops match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vellaro.Vellaro"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(programIcon());

    const UserFilePaths files = userFilePathsForExecutable(QCoreApplication::applicationDirPath());
    ProfileFile settings(files.settingsPath);
    SystemClock clock;
    CanberraSound sound;
    SystemTrayArea trayArea;
    XdgAutostartStore autostart(QStringLiteral("Vellaro"));
    LocaleFormats formats = LocaleFormats::fromLocale(QLocale::system());
    AppContext context{
        files.listPath, &settings, QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
        &clock,         &formats,  &sound,
        &trayArea,      &autostart};
    DesktopUrlOpener urlOpener;
    context.urlOpener = &urlOpener;
    TimerFdWallClockTimer wakeTimer;
    context.wakeTimer = &wakeTimer;

    // Logout, shutdown and termination signals take the same way out as the exit command.
    ExitSignals exitSignals;
    QObject::connect(&exitSignals, &ExitSignals::exitRequested, &app, requestApplicationExit);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [](QSessionManager &) { requestApplicationExit(); });

    // The windows, in creation order; they are destroyed in the reverse order.
    std::vector<std::unique_ptr<PersistentWindow>> windows;
    auto create = [&](auto *window) {
        windows.emplace_back(window);
        window->initialize();
        return window;
    };
    MainWindow *mainWindow = create(new MainWindow(context));
    AboutWindow *about = create(new AboutWindow(context));
    ReminderEditor *editor = create(new ReminderEditor(context));
    AlarmWindow *alarm = create(new AlarmWindow(context));
    TransparencyDialog *transparency = create(new TransparencyDialog(context));
    mainWindow->setAboutWindow(about);
    mainWindow->setTransparencyDialog(transparency);
    mainWindow->setReminderEditor(editor);
    mainWindow->setAlarmWindow(alarm);

    // A termination signal may already have come while an error box of the start was open.
    if (!applicationExiting()) {
        mainWindow->showAtStart();
        QApplication::exec();
    }

    while (!windows.empty()) {
        PersistentWindow *window = windows.back().get();
        guarded([window] { window->saveOnExit(); });
        windows.pop_back();
    }
    return 0;
}
