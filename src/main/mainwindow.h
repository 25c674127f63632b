#pragma once

#include "persistentwindow.h"
#include "remindercheck.h"

#include <QDate>
#include <QPointer>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;

namespace vellaro {

class AdaptiveMenuBar;
class AlarmWindow;
class ReminderEditor;
class ReminderListModel;
class ReminderView;
class TransparencyDialog;
class TrayIcon;

// The main window: the list of every reminder, its commands, menu bar and status bar, the check
// for reminders falling due, the timed save of the list file, and the tray icon with its menu.
// Closing it ends the program.
class MainWindow final : public PersistentWindow
{
    Q_OBJECT

public:
    explicit MainWindow(AppContext &context, QWidget *parent = nullptr);
    ~MainWindow() override;

    ReminderListModel *model() const { return m_model; }
    int sortColumn() const;

    // The other windows the commands open.
    void setAboutWindow(PersistentWindow *about) { m_aboutWindow = about; }
    void setTransparencyDialog(TransparencyDialog *dialog);
    void setReminderEditor(ReminderEditor *editor);
    void setAlarmWindow(AlarmWindow *alarm);

    // Each time the event loop is about to wait: the status bar and which commands apply.
    void updateOnIdle();
    void updateStatusBar();
    void sortByColumn(int column);
    void showRowMenu(Qt::MouseButton button, QPoint globalPos);

    // The commands. One whose window is open already brings that window to the front and does
    // nothing else: a modal window is never entered twice.
    void addReminder();
    void editSelectedReminder();
    void renameSelectedReminder();
    void deleteSelectedReminder();
    void showAbout();
    // Asks for a transparency percentage and gives every window of the program its opacity.
    void chooseTransparency();
    void exitProgram();
    // Shows the window when hidden, hides it when shown.
    void toggleVisibility();
    // Turns start with the session on or off, by what the store holds; the item has flipped
    // its check mark already, as a checkable menu item does before anything else.
    void toggleStartWithSession();

    // Finds the rows due since the previous check and shows them one after another: sound, then
    // the alarm window; rows falling due meanwhile wait their turn.
    void checkDueReminders();

    // Shows the window at the start of the run unless the tray icon keeps it hidden; without a
    // notification area to bring it back from, it always shows.
    void showAtStart();

    // Starts the save timer unless it already runs (its countdown is not restarted).
    void scheduleSave();
    // What the save timer runs: writes the list and stops the timer.
    void saveAfterChanges();
    void loadReminders();
    void saveReminders();
    // Writes the list file, then the window's own settings.
    void saveOnExit() override;

    int selectedRow() const;
    QString statusPanelText(int panel) const;
    const QString &currentHint() const { return m_hint; }

protected:
    void prepare() override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QAction *makeAction(const char *name, const QString &caption, const QString &hint, int image);
    void buildMenuBar();
    void buildRowMenu();
    void buildTray();
    // Asks the wall-clock timer to wake the program when something can next fall due.
    void planNextCheck();
    void schedulePlan();
    // Brings an open window to the front; false when it is not open.
    static bool raiseIfOpen(QWidget *window);

    ReminderListModel *m_model = nullptr;
    ReminderView *m_view = nullptr;
    AdaptiveMenuBar *m_menuBar = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_panels[3] = {};
    QMenu *m_rowMenu = nullptr;
    QTimer *m_saveTimer = nullptr;

    QAction *m_addAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_editAction = nullptr;
    QAction *m_transparencyAction = nullptr;
    QAction *m_aboutAction = nullptr;

    QMenu *m_trayMenu = nullptr;
    QAction *m_startWithSessionAction = nullptr;
    TrayIcon *m_trayIcon = nullptr;

    QPointer<PersistentWindow> m_aboutWindow;
    QPointer<TransparencyDialog> m_transparencyDialog;
    QPointer<ReminderEditor> m_editor;
    QPointer<AlarmWindow> m_alarmWindow;
    ReminderCheck m_check;
    QList<DueReminder> m_alarmQueue;
    bool m_showingAlarms = false;
    bool m_planPending = false;
    QString m_hint;
    QDate m_statusDate;
    QString m_statusDateText;
};

} // namespace vellaro
