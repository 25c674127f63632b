#include "mainwindow.h"

#include "adaptivemenubar.h"
#include "alarmwindow.h"
#include "appexit.h"
#include "autostart.h"
#include "error.h"
#include "guard.h"
#include "icons.h"
#include "listfile.h"
#include "menuusage.h"
#include "opacity.h"
#include "remindereditor.h"
#include "reminderlistmodel.h"
#include "reminderview.h"
#include "transparencydialog.h"
#include "trayicon.h"
#include "wakeplan.h"
#include "wallclocktimer.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace vellaro {

namespace {

constexpr int kSaveIntervalMs = 600000;

void setTextIfChanged(QLabel *label, const QString &text)
{
    if (label->text() != text)
        label->setText(text);
}

void setWidthIfChanged(QLabel *label, int width)
{
    width = std::max(width, 0);
    if (label->minimumWidth() != width || label->maximumWidth() != width)
        label->setFixedWidth(width);
}

} // namespace

MainWindow::MainWindow(AppContext &context, QWidget *parent) : PersistentWindow(context, parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Vellaro - Версия 2.0"));
    setWindowIcon(programIcon());
    setDesignBounds(224, 190, 509, 344);

    m_model = new ReminderListModel(this);
    m_model->setRowDecoration(commandIcon(3));

    m_addAction = makeAction("addAction", QStringLiteral("&Добавяне ..."),
                             QStringLiteral("Добавяне на нов запис"), 0);
    m_deleteAction = makeAction("deleteAction", QStringLiteral("&Изтриване"),
                                QStringLiteral("Изтриване на текущия запис"), 1);
    m_editAction = makeAction("editAction", QStringLiteral("&Редактиране ..."),
                              QStringLiteral("Редактиране на всички данни за текущия запис"), 5);
    m_exitAction = makeAction("exitAction", QStringLiteral("И&зход"),
                              QStringLiteral("Изход от програмата"), 2);
    m_transparencyAction =
        makeAction("transparencyAction", QStringLiteral("&Степен на прозрачност"),
                   QStringLiteral("Процент на прозрачност"), 7);
    m_aboutAction = makeAction("aboutAction", QStringLiteral("&About"),
                               QStringLiteral("Показване на информация за приложението"), 4);
    connect(m_addAction, &QAction::triggered, this, guardedSlot(this, &MainWindow::addReminder));
    connect(m_deleteAction, &QAction::triggered, this,
            guardedSlot(this, &MainWindow::deleteSelectedReminder));
    connect(m_editAction, &QAction::triggered, this,
            guardedSlot(this, &MainWindow::editSelectedReminder));
    connect(m_exitAction, &QAction::triggered, this, guardedSlot(this, &MainWindow::exitProgram));
    connect(m_aboutAction, &QAction::triggered, this, guardedSlot(this, &MainWindow::showAbout));
    connect(m_transparencyAction, &QAction::triggered, this,
            guardedSlot(this, &MainWindow::chooseTransparency));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    buildMenuBar();
    layout->setMenuBar(m_menuBar);

    m_view = new ReminderView(this);
    m_view->setObjectName(QStringLiteral("reminderView"));
    m_view->setModel(m_model);
    layout->addWidget(m_view, 1);
    connect(m_view->horizontalHeader(), &QHeaderView::sectionClicked, this,
            guardedSlot(this, &MainWindow::sortByColumn));
    connect(m_view, &ReminderView::mouseDown, this, guardedSlot(this, &MainWindow::showRowMenu));

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("statusBar"));
    m_statusBar->setFixedHeight(19);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(m_statusBar);
        m_panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_panels[i]->setTextFormat(Qt::PlainText);
    }
    // The hint panel takes what the other two leave; it must never widen the window itself.
    m_panels[0]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_panels[0]->setMinimumWidth(0);
    m_panels[0]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusBar->addWidget(m_panels[0], 1);
    m_statusBar->addWidget(m_panels[1]);
    m_statusBar->addWidget(m_panels[2]);
    layout->addWidget(m_statusBar);

    buildRowMenu();
    buildTray();

    m_saveTimer = new QTimer(this);
    m_saveTimer->setObjectName(QStringLiteral("saveTimer"));
    m_saveTimer->setInterval(kSaveIntervalMs);
    connect(m_saveTimer, &QTimer::timeout, this, guardedSlot(this, &MainWindow::saveAfterChanges));

    // The check runs when something can fall due, not every second: at the moment the plan
    // names, and whenever the clock is set or the zone changes. The first check of the run, right
    // as the event loop starts, marks where catching up may begin.
    if (WallClockTimer *timer = m_context.wakeTimer) {
        connect(timer, &WallClockTimer::woke, this,
                guardedSlot(this, &MainWindow::checkDueReminders));
        connect(timer, &WallClockTimer::clockChanged, this,
                guardedSlot(this, &MainWindow::checkDueReminders));
        timer->wakeAt(m_context.clock->now());
    }
    // Any change of the rows' texts may bring the next due second nearer or take it away.
    for (auto signal : {&ReminderListModel::rowsInserted, &ReminderListModel::rowsRemoved})
        connect(m_model, signal, this, &MainWindow::schedulePlan);
    connect(m_model, &ReminderListModel::dataChanged, this, &MainWindow::schedulePlan);
    connect(m_model, &ReminderListModel::modelReset, this, &MainWindow::schedulePlan);

    // Qt has no idle signal; the dispatcher announces each time the loop is about to wait.
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                guardedSlot(this, &MainWindow::updateOnIdle));

    setFocusProxy(m_view);
    m_view->setFocus();

    // Every control is in place: the icon goes into the area before the list is read.
    m_trayIcon->dock();
}

MainWindow::~MainWindow() = default;

QAction *MainWindow::makeAction(const char *name, const QString &caption, const QString &hint,
                                int image)
{
    auto *action = new QAction(commandIcon(image), caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(hint);
    action->setToolTip(hint);
    return action;
}

void MainWindow::buildMenuBar()
{
    const QHash<QString, QAction *> commands{
        {QStringLiteral("addAction"), m_addAction},
        {QStringLiteral("deleteAction"), m_deleteAction},
        {QStringLiteral("exitAction"), m_exitAction},
        {QStringLiteral("editAction"), m_editAction},
        {QStringLiteral("transparencyAction"), m_transparencyAction},
        {QStringLiteral("aboutAction"), m_aboutAction},
    };
    m_menuBar = new AdaptiveMenuBar(mainMenuBarDefinition(), commands, m_context.sound, this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
}

void MainWindow::buildRowMenu()
{
    m_rowMenu = new QMenu(this);
    m_rowMenu->setObjectName(QStringLiteral("rowMenu"));
    m_rowMenu->installEventFilter(this);
    auto addItem = [this](const char *name, const QString &caption, const QString &hint,
                          void (MainWindow::*handler)()) {
        QAction *item = m_rowMenu->addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        item->setStatusTip(hint);
        connect(item, &QAction::triggered, this, guardedSlot(this, handler));
    };
    addItem("rowRenameAction", QStringLiteral("Редактиране на &името"),
            QStringLiteral("Редактиране на името на текущия запис"),
            &MainWindow::renameSelectedReminder);
    addItem("rowDeleteAction", QStringLiteral("&Изтриване"),
            QStringLiteral("Изтриване на текущия запис"), &MainWindow::deleteSelectedReminder);
    m_rowMenu->addSeparator();
    addItem("rowEditAction", QStringLiteral("&Редактиране ..."),
            QStringLiteral("Редактиране на всички данни на текущия запис"),
            &MainWindow::editSelectedReminder);
}

void MainWindow::buildTray()
{
    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    auto addItem = [this](const char *name, const QString &caption) {
        QAction *item = m_trayMenu->addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        return item;
    };

    QAction *showHide = addItem("trayShowHide", QStringLiteral("Показване / Скриване"));
    // The default item: drawn in bold, and what a double-click on the icon runs.
    m_trayMenu->setDefaultAction(showHide);
    connect(showHide, &QAction::triggered, this, guardedSlot(this, &MainWindow::toggleVisibility));
    m_trayMenu->addSeparator();
    connect(addItem("trayAdd", QStringLiteral("Добавяне на нов запис ...")), &QAction::triggered,
            m_addAction, &QAction::trigger);
    m_trayMenu->addSeparator();
    connect(addItem("trayAbout", QStringLiteral("За програмата")), &QAction::triggered,
            m_aboutAction, &QAction::trigger);
    m_startWithSessionAction = addItem("trayStartWithSession", QStringLiteral("Стартиране с ОС"));
    m_startWithSessionAction->setCheckable(true);
    m_startWithSessionAction->setChecked(true);
    connect(m_startWithSessionAction, &QAction::triggered, this,
            guardedSlot(this, &MainWindow::toggleStartWithSession));
    m_trayMenu->addSeparator();
    connect(addItem("trayExit", QStringLiteral("Изход")), &QAction::triggered, m_exitAction,
            &QAction::trigger);

    m_trayIcon = new TrayIcon(this, m_context.trayArea, m_trayMenu, programIcon(),
                              QStringLiteral("Vellaro Версия: 2.0"));
    m_trayIcon->setObjectName(QStringLiteral("trayIcon"));
    connect(m_trayIcon, &TrayIcon::clicked, this, guardedSlot(this, &MainWindow::toggleVisibility));
}

void MainWindow::showAtStart()
{
    if (!m_trayIcon->areaAvailable())
        show();
}

void MainWindow::toggleVisibility()
{
    if (isVisible()) {
        m_trayIcon->hideMainWindow();
        return;
    }
    m_trayIcon->showMainWindow();
    raise();
    activateWindow();
}

void MainWindow::toggleStartWithSession()
{
    // Whether this writes or deletes follows the store alone, never the check mark.
    AutostartStore *store = m_context.autostart;
    if (!store || !store->isOpen())
        return;
    if (store->valueExists())
        store->deleteValue();
    else
        store->writeValue(QCoreApplication::applicationFilePath());
}

void MainWindow::setTransparencyDialog(TransparencyDialog *dialog)
{
    m_transparencyDialog = dialog;
}

void MainWindow::setReminderEditor(ReminderEditor *editor)
{
    m_editor = editor;
}

void MainWindow::setAlarmWindow(AlarmWindow *alarm)
{
    m_alarmWindow = alarm;
}

int MainWindow::sortColumn() const
{
    return m_model->sortColumn();
}

void MainWindow::prepare()
{
    loadReminders();
    m_statusDate = m_context.clock->now().date();
    m_statusDateText = m_context.formats->dateText(m_statusDate);
    setTextIfChanged(m_panels[1], m_statusDateText);
    // Last: whether the program starts with the session. A store that does not open leaves the
    // mark as it is.
    if (AutostartStore *store = m_context.autostart; store && store->isOpen())
        m_startWithSessionAction->setChecked(store->valueExists());
}

void MainWindow::loadReminders()
{
    m_model->clear();
    m_model->setEntries(
        listfile::load(m_context.listPath, listfile::legacyCodePage(m_context.formats->locale())));
}

void MainWindow::saveReminders()
{
    listfile::save(m_context.listPath, m_model->entries());
}

void MainWindow::saveOnExit()
{
    // The list matters more than window geometry: report its failure, then still keep the rest.
    guarded([this] { saveReminders(); });
    PersistentWindow::saveOnExit();
}

void MainWindow::scheduleSave()
{
    if (!m_saveTimer->isActive())
        m_saveTimer->start();
}

void MainWindow::saveAfterChanges()
{
    m_saveTimer->stop();
    saveReminders();
}

void MainWindow::updateOnIdle()
{
    updateStatusBar();
    const bool selected = selectedRow() >= 0;
    if (m_deleteAction->isEnabled() != selected)
        m_deleteAction->setEnabled(selected);
    if (m_editAction->isEnabled() != selected)
        m_editAction->setEnabled(selected);
}

void MainWindow::updateStatusBar()
{
    const QDate today = m_context.clock->now().date();
    if (today != m_statusDate || m_statusDateText.isEmpty()) {
        m_statusDate = today;
        m_statusDateText = m_context.formats->dateText(today);
    }
    setWidthIfChanged(m_panels[1], 44);
    setTextIfChanged(m_panels[1], QStringLiteral("Днес е"));
    setWidthIfChanged(m_panels[2], 100);
    setTextIfChanged(m_panels[2], m_statusDateText);
    if (const int width = std::max(m_statusBar->width() - 155, 0);
        m_panels[0]->maximumWidth() != width)
        m_panels[0]->setMaximumWidth(width);
    setTextIfChanged(m_panels[0], m_hint);
}

QString MainWindow::statusPanelText(int panel) const
{
    return panel >= 0 && panel < 3 ? m_panels[panel]->text() : QString();
}

int MainWindow::selectedRow() const
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void MainWindow::sortByColumn(int column)
{
    m_model->setSortColumn(column);
    m_model->resort();
}

void MainWindow::showRowMenu(Qt::MouseButton button, QPoint globalPos)
{
    if (button == Qt::RightButton && selectedRow() >= 0)
        m_rowMenu->popup(globalPos);
}

void MainWindow::deleteSelectedReminder()
{
    const int row = selectedRow();
    if (row >= 0)
        m_model->removeEntry(row);
}

void MainWindow::exitProgram()
{
    requestApplicationExit();
}

bool MainWindow::raiseIfOpen(QWidget *window)
{
    if (!window || !window->isVisible())
        return false;
    window->raise();
    window->activateWindow();
    return true;
}

void MainWindow::addReminder()
{
    if (!m_editor || raiseIfOpen(m_editor))
        return;
    m_editor->setWindowTitle(QStringLiteral("Добавяне на нов запис"));
    m_editor->applyFormats();
    m_editor->clearTexts();
    if (m_editor->exec() != QDialog::Accepted)
        return;

    const ReminderDraft draft = m_editor->draft();
    const LocaleFormats &formats = *m_context.formats;
    m_model->addEntry(
        {draft.name, {formats.dateText(draft.date), formats.timeText(draft.time), draft.notes}});
    scheduleSave();
}

void MainWindow::editSelectedReminder()
{
    const int row = selectedRow();
    if (!m_editor || row < 0 || raiseIfOpen(m_editor))
        return;
    const LocaleFormats &formats = *m_context.formats;
    const ReminderEntry &entry = m_model->entry(row);
    const auto detail = [&entry](int index) -> const QString & {
        if (index >= entry.details.size())
            throw Error(QStringLiteral("List index out of bounds (%1)").arg(index));
        return entry.details.at(index);
    };

    const int thisYear = m_context.clock->now().date().year();
    const ReminderDraft stored{entry.name, formats.parseDateText(detail(0), thisYear),
                               formats.parseTimeText(detail(1)), detail(2)};
    m_editor->setWindowTitle(QStringLiteral("Редактиране на запис"));
    m_editor->applyFormats();
    m_editor->setDraft(stored);
    // The row is followed through whatever happens to the list while the dialog is open.
    const QPersistentModelIndex edited = m_model->index(row, 0);
    if (m_editor->exec() != QDialog::Accepted || !edited.isValid())
        return;

    const ReminderDraft draft = m_editor->draft();
    const int newRow = m_model->setName(edited.row(), draft.name);
    m_model->setDetail(newRow, 0, formats.dateText(draft.date));
    m_model->setDetail(newRow, 1, formats.timeText(draft.time));
    m_model->setDetail(newRow, 2, draft.notes);
    scheduleSave();
}

void MainWindow::schedulePlan()
{
    // Many changes at once (a load, an edit of three texts) are planned for once.
    if (m_planPending || !m_context.wakeTimer)
        return;
    m_planPending = true;
    QMetaObject::invokeMethod(this, guardedSlot(this, &MainWindow::planNextCheck),
                              Qt::QueuedConnection);
}

void MainWindow::planNextCheck()
{
    m_planPending = false;
    if (m_context.wakeTimer)
        m_context.wakeTimer->wakeAt(nextWake(m_context.clock->now(), *m_model, *m_context.formats));
}

void MainWindow::checkDueReminders()
{
    m_alarmQueue.append(m_check.collectDue(m_context.clock->now(), *m_model, *m_context.formats));
    // Planned before any alarm shows, so that what falls due while it is open is queued in time.
    planNextCheck();
    // Checks that run while an alarm is being shown only queue what falls due.
    if (m_showingAlarms || !m_alarmWindow)
        return;
    m_showingAlarms = true;
    const auto done = qScopeGuard([this] { m_showingAlarms = false; });
    while (!m_alarmQueue.isEmpty() && !applicationExiting()) {
        const DueReminder due = m_alarmQueue.takeFirst();
        m_alarmWindow->showReminder(m_context.formats->dateText(m_context.clock->now().date()),
                                    due.name, due.timeText, due.notes);
        if (m_context.sound)
            m_context.sound->playFileAndWait(QDir::currentPath() + QStringLiteral("/alarm.wav"));
        if (applicationExiting())
            break;
        m_alarmWindow->exec();
    }
}

void MainWindow::renameSelectedReminder()
{
    const int row = selectedRow();
    if (row >= 0)
        m_view->edit(m_model->index(row, 0));
    scheduleSave();
}

void MainWindow::showAbout()
{
    if (m_aboutWindow && !raiseIfOpen(m_aboutWindow)) {
        m_aboutWindow->show();
        raiseIfOpen(m_aboutWindow);
    }
}

void MainWindow::chooseTransparency()
{
    if (!m_transparencyDialog || raiseIfOpen(m_transparencyDialog) ||
        m_transparencyDialog->exec() != QDialog::Accepted)
        return;
    // A text that is no number stops here, before any window has changed.
    const int alpha = opacityFromPercentText(m_transparencyDialog->percentText(),
                                             m_context.formats->decimalSeparator());
    for (PersistentWindow *window : PersistentWindow::liveWindows())
        window->setAlpha(alpha);
}

bool MainWindow::event(QEvent *event)
{
    if (event->type() == QEvent::LocaleChange) {
        // The regional settings changed: new texts take the new form, stored ones keep theirs.
        *m_context.formats = LocaleFormats::fromLocale(QLocale::system());
        m_statusDateText.clear();
        schedulePlan();
    }
    if (event->type() == QEvent::StatusTip) {
        m_hint = static_cast<QStatusTipEvent *>(event)->tip();
        return true;
    }
    return PersistentWindow::event(event);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Pop-up menus are windows of their own, so their hints do not travel up to this one.
    if (watched == m_rowMenu && event->type() == QEvent::StatusTip)
        m_hint = static_cast<QStatusTipEvent *>(event)->tip();
    return PersistentWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    PersistentWindow::closeEvent(event);
    requestApplicationExit();
}

} // namespace vellaro
