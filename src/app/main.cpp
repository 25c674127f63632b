#include "aboutwindow.h"
#include "alarmwindow.h"
#include "appexit.h"
#include "autostart.h"
#include "canberrasound.h"
#include "deferrediconstyle.h"
#include "entryeditor.h"
#include "exitsignals.h"
#include "guard.h"
#include "icons.h"
#include "instancelock.h"
#include "mainwindow.h"
#include "opacitydialog.h"
#include "systemtrayshell.h"
#include "urlopener.h"
#include "userfiles.h"

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
    SystemTrayShell trayShell;
    XdgAutostartStore autostart(QStringLiteral("Vellaro"));
    LocaleFormats formats = LocaleFormats::fromLocale(QLocale::system());
    FormContext context{QString(files.listPath),
                        &settings,
                        QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                        &clock,
                        &formats,
                        &sound,
                        &trayShell,
                        &autostart};
    DesktopUrlOpener urlOpener;
    context.urlOpener = &urlOpener;

    // Logout, shutdown and termination signals take the same way out as the exit command.
    ExitSignals exitSignals;
    QObject::connect(&exitSignals, &ExitSignals::exitRequested, &app, requestApplicationExit);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [](QSessionManager &) { requestApplicationExit(); });

    // The windows, in creation order; they are destroyed in the reverse order.
    std::vector<std::unique_ptr<TBaseForm>> forms;
    auto create = [&](auto *form) {
        forms.emplace_back(form);
        form->DoCreate();
        return form;
    };
    TForm1 *mainWindow = create(new TForm1(context));
    TForm2 *about = create(new TForm2(context));
    TForm3 *editor = create(new TForm3(context));
    TForm4 *alarm = create(new TForm4(context));
    TOpacitySetForm *opacity = create(new TOpacitySetForm(context));
    mainWindow->setAboutWindow(about);
    mainWindow->setOpacityWindow(opacity);
    mainWindow->setEntryEditor(editor);
    mainWindow->setAlarmWindow(alarm);

    // A termination signal may already have come while an error box of the start was open.
    if (!applicationExiting()) {
        mainWindow->showAtStart();
        QApplication::exec();
    }

    while (!forms.empty()) {
        TBaseForm *form = forms.back().get();
        guarded([form] { form->DoDestroy(); });
        forms.pop_back();
    }
    return 0;
}
