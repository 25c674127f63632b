#pragma once

#include "baseform.h"
#include "remindercheck.h"

#include <QDate>
#include <QPointer>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;

namespace vellaro {

class ReminderListModel;
class TActionMainMenuBar;
class TOpacitySetForm;
class TImageList;
class TMenuItem;
class TNotifyIcon;
class TPopupMenu;
class TForm3;
class TForm4;
class TListView;

// The main window: the list of every reminder, its commands, menu bar and status bar, and the
// timed save of the list file. Closing it ends the program.
class TForm1 final : public TBaseForm
{
    Q_OBJECT

public:
    explicit TForm1(FormContext &context, QWidget *parent = nullptr);
    ~TForm1() override;

    ReminderListModel *model() const { return m_model; }
    int SortColumn() const;

    // The other windows the commands open.
    void setAboutWindow(TBaseForm *about) { m_aboutWindow = about; }
    void setOpacityWindow(TOpacitySetForm *dialog);
    void setEntryEditor(TForm3 *editor);
    void setAlarmWindow(TForm4 *alarm);

    // Handlers, named for what the user does.
    void ApplicationEvents1Idle();
    void FillStatus();
    void ListView1ColumnClick(int column);
    void ListView1MouseDown(Qt::MouseButton button, QPoint globalPos);
    void Action2Execute();
    void Action3Execute();
    void EditName1Click();
    void aAboutExecute();
    // Asks for a transparency percentage and gives every window of the program its opacity.
    void AlphaExecute();
    void ModifiedTimerTimer();
    void Action1Execute();
    void Edit1Click();
    void Timer1Timer();
    void StartTimerTimer();
    // Finds the rows due since the previous check and shows them one after another: sound, then
    // the alarm window; rows falling due meanwhile wait their turn.
    void CheckForReminder();
    static QString ConvertToDate(const QString &text);
    // The show/hide toggle of the tray icon and of its menu.
    void ShowHideClick(QObject *Sender);
    void NotifyIcon1Click(QObject *Sender);
    // Turns start with the session on or off, by what the store holds; the item has flipped
    // its check mark already, as a checkable menu item does before anything else.
    void AutostartClick(QObject *Sender);

    // Shows the window at the start of the run unless the tray icon keeps it hidden; without a
    // notification area to bring it back from, it always shows.
    void showAtStart();

    // Starts the save timer unless it already runs (its countdown is not restarted).
    void MarkChanged();
    void LoadList();
    void SaveList();
    // Writes the list file, then the window's own settings.
    void DoDestroy() override;

    int selectedRow() const;
    QString statusPanelText(int panel) const;
    const QString &currentHint() const { return m_hint; }

protected:
    void FormCreate() override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QAction *makeAction(const char *name, const QString &caption, const QString &hint, int image);
    void buildMenuBar();
    void buildContextMenu();
    void buildTray();

    ReminderListModel *m_model = nullptr;
    TListView *ListView1 = nullptr;
    TActionMainMenuBar *ActionMainMenuBar1 = nullptr;
    QStatusBar *Status = nullptr;
    QLabel *m_panels[3] = {};
    QMenu *ContextPopup = nullptr;
    QTimer *ModifiedTimer = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *StartTimer = nullptr;

    QAction *Action1 = nullptr;
    QAction *Action2 = nullptr;
    QAction *Action3 = nullptr;
    QAction *Action4 = nullptr;
    QAction *Alpha = nullptr;
    QAction *aAbout = nullptr;

    TNotifyIcon *NotifyIcon1 = nullptr;
    TPopupMenu *TrayPopup = nullptr;
    TImageList *ImageList2 = nullptr;
    TMenuItem *Autostart = nullptr;

    QPointer<TBaseForm> m_aboutWindow;
    QPointer<TOpacitySetForm> m_opacityWindow;
    QPointer<TForm3> m_editor;
    QPointer<TForm4> m_alarmWindow;
    ReminderCheck m_check;
    QList<DueReminder> m_alarmQueue;
    bool m_showingAlarms = false;
    QString m_hint;
    QDate m_statusDate;
    QString m_statusDateText;
};

} // namespace vellaro
