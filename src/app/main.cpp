#include "app/appcore.h"
#include "app/deferrediconstyle.h"
#include "platform/autostart.h"
#include "platform/canberrasound.h"
#include "platform/exitsignals.h"
#include "platform/freedesktopnotifier.h"
#include "platform/instancehandover.h"
#include "platform/instancelock.h"
#include "platform/systemtrayarea.h"
#include "platform/timerfdwallclocktimer.h"
#include "platform/urlopener.h"
#include "platform/userfiles.h"
#include "resources/icons.h"
#include "windowkit/appexit.h"
#include "windowkit/guard.h"
#include "windowkit/qttranslations.h"

#include <QApplication>
#include <QFileInfo>
#include <QSessionManager>

#include <csignal>

using namespace vellaro;

int main(int argc, char *argv[])
{
    // A file-size limit reached while saving must fail that write (and show its error box), not
    // end the program on the spot with everything unsaved.
    std::signal(SIGXFSZ, SIG_IGN);

    // A second start hands over to the running instance, which shows its main window, and ends
    // at once. The desktop's activation token goes along, so the window may take the focus.
    FileInstanceLock instanceLock;
    const QString handOverPath = handOverSocketPath(instanceLock.path());
    if (!instanceLock.tryAcquire()) {
        QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
        if (token.isEmpty())
            token = qEnvironmentVariable("DESKTOP_STARTUP_ID");
        handOverToRunningInstance(handOverPath, {QStringLiteral("show"), token});
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setStyle(new DeferredIconStyle);
    QApplication::setApplicationName(QStringLiteral("vellaro"));
    // The desktop entry's name: desktops match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vellaro.Vellaro"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(programIcon());
    installQtTranslations();

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
    FreedesktopNotifier notifier(QStringLiteral("Vellaro"),
                                 QStringLiteral("example.vellaro.Vellaro"),
                                 QStringLiteral("example.vellaro.Vellaro"));
    context.notifier = &notifier;

    // Logout, shutdown and termination signals take the same way out as the exit command.
    ExitSignals exitSignals;
    QObject::connect(&exitSignals, &ExitSignals::exitRequested, &app, requestApplicationExit);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [](QSessionManager &) { requestApplicationExit(); });

    // What lives for the whole run; the windows are built when first shown.
    AppCore core(context);
    core.start();
    InstanceHandOverServer handOver(handOverPath);
    QObject::connect(&handOver, &InstanceHandOverServer::requested, &core,
                     guardedSlot(&core, &AppCore::handOverRequest));
    handOver.listen();

    // A termination signal may already have come while an error box of the start was open.
    if (!applicationExiting()) {
        core.showAtStart();
        QApplication::exec();
    }
    core.saveOnExit();
    return 0;
}
