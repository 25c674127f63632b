#pragma once

#include "core/error.h"
#include "core/missedreminders.h"
#include "core/remindercheck.h"
#include "mainwindow/mainwindowhost.h"
#include "windowkit/appcontext.h"

#include <QObject>

#include <memory>
#include <optional>

class QAction;
class QMenu;
class QTimer;
class QWidget;

namespace vellaro {

class AboutWindow;
class AlarmWindow;
class MainWindow;
class ReminderEditor;
class ReminderListModel;
class ReminderWatch;
class TransparencyDialog;
class TrayIcon;
class WindowSettings;

// What lives for the whole run: the list and its file, the check and its plan, the timed save,
// the alarm queue, the tray icon and its menu, and the settings of every window. The windows
// themselves are built the first time they are needed; a program that only sits in the tray
// never builds one.
class AppCore final : public QObject, public MainWindowHost
{
    Q_OBJECT

public:
    explicit AppCore(AppContext &context);
    ~AppCore() override;

    // The start: every window's settings are read, the list is loaded (a failure is shown in the
    // error box, and then whether the program starts with the session is not read), the icon
    // goes into the area and the first check is asked for.
    void start();
    // Shows the main window when there is no notification area to bring it back from.
    void showAtStart();
    // The end: the windows' settings in reverse creation order, the list before the main
    // window's. Every failure is shown; the rest is still written.
    void saveOnExit();

    ReminderListModel *model() const override { return m_model; }
    QMenu *trayMenu() const { return m_trayMenu; }

    // The windows, each built the first time it is asked for.
    MainWindow *mainWindow();
    AboutWindow *aboutWindow();
    ReminderEditor *editor();
    AlarmWindow *alarmWindow();
    TransparencyDialog *transparencyDialog();
    // The main window when it was built; nothing is built for asking.
    MainWindow *builtMainWindow() const;

    // The commands. One whose window is open already brings that window to the front and does
    // nothing else: a modal window is never entered twice.
    void addReminder() override;
    void editReminder(int row) override;
    void showAbout() override;
    // Asks for a transparency percentage and gives every window of the program its opacity.
    void chooseTransparency() override;
    void exitProgram() override;
    // Shows the main window when hidden, hides it when shown.
    void toggleVisibility();
    // A later start of the program handed over its request: "show" (with the desktop's
    // activation token, maybe empty) shows the main window and brings it forward.
    void handOverRequest(const QStringList &words);
    // Turns start with the session on or off, by what the store holds; the item has flipped
    // its check mark already, as a checkable menu item does before anything else.
    void toggleStartWithSession();
    // Checks the item when, and only when, the program starts with the session.
    void showStartWithSessionState();

    // Looks for the rows due since the last look and shows them one after another: the alarm
    // window with its notification and sound, until it is closed; rows falling due meanwhile
    // wait their turn.
    void checkDueReminders();
    // Shows the queued alarms, unless they are being shown already.
    void showAlarms();
    // Puts an alarm off: a postponed one-off row with its name and notes, due this many minutes
    // from now. An alarm that came from a postponed row moves that row instead.
    void snoozeAlarm(const DueReminder &due, int minutes);

    // Starts the save timer unless it already runs (its countdown is not restarted). Every
    // change of the list calls it.
    void scheduleSave();
    // What the save timer runs: writes the list and stops the timer.
    void saveAfterChanges();
    void loadReminders();
    // Writes the list, and the last second looked at beside it.
    void saveReminders();
    // At start: what fell due since the last second the previous run looked at, in one notice
    // (no sound, no alarm window). Picking it shows the main window.
    void reportMissedReminders();
    // Tells of rows that fell due unseen, in one notice.
    void tellMissed(const QList<MissedReminder> &missed);
    // Keeps the last second looked at for the next start; nothing when the list was not read,
    // as this run then looked at none of its rows.
    void recordLastLooked();
    // The regional settings changed: new texts take the new form, stored ones keep theirs.
    void localeChanged() override;

    // Moves the repeating rows that fell due (or, after a start or a clock step, every one whose
    // occurrence has passed) on to their next occurrence; from the event loop, once a burst.
    void scheduleRepeatAdvance();
    void advanceRepeatingRows();

    // Brings an open window to the front; false when it is not open.
    static bool raiseIfOpen(QWidget *window);

private:
    // A window's settings, read at start, and the window itself once it is first needed.
    template <typename W> struct LazyWindow
    {
        std::unique_ptr<WindowSettings> settings;
        std::unique_ptr<W> window;
    };
    template <typename W> W *build(LazyWindow<W> &lazy);
    void buildTrayMenu();

    AppContext &m_context;
    ReminderListModel *m_model = nullptr;
    QTimer *m_saveTimer = nullptr;
    QMenu *m_trayMenu = nullptr;
    QAction *m_startWithSessionAction = nullptr;
    TrayIcon *m_trayIcon = nullptr;
    ReminderWatch *m_watch = nullptr;
    QList<DueReminder> m_alarmQueue;
    bool m_showingAlarms = false;
    QList<quint64> m_repeatsToAdvance;
    bool m_advanceAllRepeats = false;
    bool m_repeatAdvancePending = false;
    // Set while the list file is there but could not be read: nothing is written over it.
    std::optional<Error> m_listUnreadable;
    bool m_listChangedSinceLoad = false;

    // In creation order; written back in the reverse order.
    LazyWindow<MainWindow> m_main;
    LazyWindow<AboutWindow> m_about;
    LazyWindow<ReminderEditor> m_editor;
    LazyWindow<AlarmWindow> m_alarm;
    LazyWindow<TransparencyDialog> m_transparency;
};

} // namespace vellaro
