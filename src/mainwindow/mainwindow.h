#pragma once

#include "windowkit/persistentwindow.h"

#include <QDate>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;

namespace vellaro {

class AdaptiveMenuBar;
class MainWindowHost;
class ReminderListModel;
class ReminderView;

// The main window: the list of every reminder, its commands, menu bar and status bar. What the
// window does not show (the list itself, the check, the timed save, the tray icon) lives in the
// host that runs the program (AppCore), which builds this window the first time it is to be shown.
// Closing it ends the program.
class MainWindow final : public PersistentMainWindow
{
    Q_OBJECT

public:
    static WindowDesign design();
    MainWindow(AppContext &context, WindowSettings &settings, MainWindowHost &core,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    ReminderListModel *model() const;
    int sortColumn() const;

    // Each time the event loop is about to wait: the status bar (and, once more, the commands).
    void updateOnIdle();
    // Delete and edit apply while a row is selected; called as the selection or the list changes.
    void updateCommands();
    void updateStatusBar();
    void sortByColumn(int column);
    // The date and time columns as wide as their texts.
    void fitDateAndTimeColumns();
    // The row menu, when a row is selected, at a point of the list's viewport (where the right
    // click was, or under the current row when asked for from the keyboard).
    void showRowMenu(QPoint viewportPos);

    // The commands that act on the selected row.
    void editSelectedReminder();
    void renameSelectedReminder();
    void deleteSelectedReminder();

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
    void textsChanged(const QModelIndex &, const QModelIndex &, const QList<int> &roles);

    MainWindowHost &m_core;
    ReminderView *m_view = nullptr;
    AdaptiveMenuBar *m_menuBar = nullptr;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_panels[3] = {};
    QMenu *m_rowMenu = nullptr;
    QTimer *m_columnFit = nullptr;

    QAction *m_addAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_editAction = nullptr;
    QAction *m_transparencyAction = nullptr;
    QAction *m_aboutAction = nullptr;

    QString m_hint;
    QDate m_statusDate;
    QString m_statusDateText;
};

} // namespace vellaro
