#include "app/appcore.h"

#include "app/alarmnotice.h"
#include "core/error.h"
#include "core/listfile.h"
#include "core/opacity.h"
#include "core/reminderlistmodel.h"
#include "core/reminderwatch.h"
#include "dialogs/aboutwindow.h"
#include "dialogs/alarmwindow.h"
#include "dialogs/remindereditor.h"
#include "dialogs/transparencydialog.h"
#include "mainwindow/mainwindow.h"
#include "platform/autostart.h"
#include "resources/icons.h"
#include "tray/trayicon.h"
#include "windowkit/appexit.h"
#include "windowkit/guard.h"
#include "windowkit/persistentwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QMenu>
#include <QScopeGuard>
#include <QTimer>

namespace vellaro {

namespace {

constexpr int kSaveIntervalMs = 600000;

} // namespace

AppCore::AppCore(AppContext &context) : m_context(context)
{
    m_model = new ReminderListModel(this);
    m_model->setRowDecoration(commandIcon(3));

    m_main.settings = std::make_unique<WindowSettings>(context, MainWindow::design());
    m_about.settings = std::make_unique<WindowSettings>(context, AboutWindow::design());
    m_editor.settings = std::make_unique<WindowSettings>(context, ReminderEditor::design());
    m_alarm.settings = std::make_unique<WindowSettings>(context, AlarmWindow::design());
    m_transparency.settings =
        std::make_unique<WindowSettings>(context, TransparencyDialog::design());

    m_saveTimer = new QTimer(this);
    m_saveTimer->setObjectName(QStringLiteral("saveTimer"));
    m_saveTimer->setInterval(kSaveIntervalMs);
    connect(m_saveTimer, &QTimer::timeout, this, guardedSlot(this, &AppCore::saveAfterChanges));

    buildTrayMenu();
    m_trayIcon = new TrayIcon(context.trayArea, m_trayMenu, programIcon(),
                              QStringLiteral("Vellaro Версия: 2.0"), this);
    connect(m_trayIcon, &TrayIcon::clicked, this, guardedSlot(this, &AppCore::toggleVisibility));
    // The area went away while the main window was hidden in it: bring the window back, or
    // nothing would be left to reach the program by.
    connect(m_trayIcon, &TrayIcon::areaLost, this, [this] {
        guarded([this] {
            MainWindow *window = mainWindow();
            if (!window->isVisible())
                m_trayIcon->showMainWindow();
        });
    });

    // The check runs when something can fall due, not every second: at the moment the plan
    // names, whenever the clock is set or the zone changes, and before the list changes.
    m_watch = new ReminderWatch(
        *context.clock, context.wakeTimer, *m_model, *context.formats,
        [](const std::function<void()> &handler) { guarded(handler); }, this);
    connect(m_watch, &ReminderWatch::due, this, [this](const QList<DueReminder> &due) {
        m_alarmQueue.append(due);
        // Shown from the event loop: a look made before a change of the list must not open a
        // modal window in the middle of it.
        QMetaObject::invokeMethod(this, guardedSlot(this, &AppCore::showAlarms),
                                  Qt::QueuedConnection);
    });
}

AppCore::~AppCore()
{
    // The windows go before the records and the model they refer to.
    m_transparency.window.reset();
    m_alarm.window.reset();
    m_editor.window.reset();
    m_about.window.reset();
    m_main.window.reset();
}

void AppCore::buildTrayMenu()
{
    m_trayMenu = new QMenu;
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    connect(this, &QObject::destroyed, m_trayMenu, &QObject::deleteLater);
    auto addItem = [this](const char *name, const QString &caption, void (AppCore::*handler)()) {
        QAction *item = m_trayMenu->addAction(caption);
        item->setObjectName(QString::fromLatin1(name));
        if (handler)
            connect(item, &QAction::triggered, this, guardedSlot(this, handler));
        return item;
    };
    // The default item: drawn in bold, and what a double-click on the icon runs.
    m_trayMenu->setDefaultAction(addItem("trayShowHide", QStringLiteral("Показване / Скриване"),
                                         &AppCore::toggleVisibility));
    m_trayMenu->addSeparator();
    addItem("trayAdd", QStringLiteral("Добавяне на нов запис ..."), &AppCore::addReminder);
    m_trayMenu->addSeparator();
    addItem("trayAbout", QStringLiteral("За програмата"), &AppCore::showAbout);
    m_startWithSessionAction =
        addItem("trayStartWithSession", QStringLiteral("Стартиране с ОС"), nullptr);
    m_startWithSessionAction->setCheckable(true);
    m_startWithSessionAction->setChecked(true);
    connect(m_startWithSessionAction, &QAction::triggered, this,
            guardedSlot(this, &AppCore::toggleStartWithSession));
    m_trayMenu->addSeparator();
    addItem("trayExit", QStringLiteral("Изход"), &AppCore::exitProgram);
}

void AppCore::start()
{
    for (WindowSettings *settings : WindowSettings::all())
        guarded([settings] { settings->read(); });
    // The icon goes into the area before the list is read.
    m_trayIcon->dock();
    guarded([this] {
        loadReminders();
        // Last: whether the program starts with the session. A store that does not open leaves
        // the mark as it is.
        if (AutostartStore *store = m_context.autostart; store && store->isOpen())
            m_startWithSessionAction->setChecked(store->valueExists());
    });
    // The first look of the run, right as the event loop starts: rows due before it never
    // sound.
    m_watch->start();
}

void AppCore::showAtStart()
{
    if (!m_trayIcon->areaAvailable())
        mainWindow()->show();
}

void AppCore::saveOnExit()
{
    const auto write = [](auto &lazy) {
        guarded([&lazy] {
            if (lazy.window)
                lazy.window->saveOnExit();
            else
                lazy.settings->write();
        });
    };
    write(m_transparency);
    write(m_alarm);
    write(m_editor);
    write(m_about);
    // The list matters more than window geometry: report its failure, then still keep the rest.
    guarded([this] { saveReminders(); });
    write(m_main);
}

template <typename W> W *AppCore::build(LazyWindow<W> &lazy)
{
    if (!lazy.window) {
        if constexpr (std::is_same_v<W, MainWindow>)
            lazy.window = std::make_unique<W>(m_context, *lazy.settings, *this);
        else
            lazy.window = std::make_unique<W>(m_context, *lazy.settings);
        lazy.window->initialize();
    }
    return lazy.window.get();
}

MainWindow *AppCore::mainWindow()
{
    const bool first = !m_main.window;
    MainWindow *window = build(m_main);
    if (first)
        m_trayIcon->setMainWindow(window);
    return window;
}

MainWindow *AppCore::builtMainWindow() const
{
    return m_main.window.get();
}

AboutWindow *AppCore::aboutWindow()
{
    return build(m_about);
}

ReminderEditor *AppCore::editor()
{
    return build(m_editor);
}

AlarmWindow *AppCore::alarmWindow()
{
    return build(m_alarm);
}

TransparencyDialog *AppCore::transparencyDialog()
{
    return build(m_transparency);
}

bool AppCore::raiseIfOpen(QWidget *window)
{
    if (!window || !window->isVisible())
        return false;
    window->raise();
    window->activateWindow();
    return true;
}

void AppCore::toggleVisibility()
{
    MainWindow *window = mainWindow();
    if (window->isVisible()) {
        m_trayIcon->hideMainWindow();
        return;
    }
    m_trayIcon->showMainWindow();
    window->raise();
    window->activateWindow();
}

void AppCore::toggleStartWithSession()
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

void AppCore::loadReminders()
{
    m_model->clear();
    m_model->setEntries(
        listfile::load(m_context.listPath, listfile::legacyCodePage(m_context.formats->locale())));
}

void AppCore::saveReminders()
{
    listfile::save(m_context.listPath, m_model->rows());
}

void AppCore::scheduleSave()
{
    if (!m_saveTimer->isActive())
        m_saveTimer->start();
}

void AppCore::saveAfterChanges()
{
    m_saveTimer->stop();
    saveReminders();
}

void AppCore::addReminder()
{
    ReminderEditor *dialog = editor();
    if (raiseIfOpen(dialog))
        return;
    dialog->setWindowTitle(QStringLiteral("Добавяне на нов запис"));
    dialog->applyFormats();
    dialog->clearTexts();
    if (dialog->exec() != QDialog::Accepted)
        return;

    const ReminderDraft draft = dialog->draft();
    const LocaleFormats &formats = *m_context.formats;
    m_model->addEntry(
        {draft.name, {formats.dateText(draft.date), formats.timeText(draft.time), draft.notes}});
    scheduleSave();
}

void AppCore::editReminder(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    ReminderEditor *dialog = editor();
    if (raiseIfOpen(dialog))
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
    dialog->setWindowTitle(QStringLiteral("Редактиране на запис"));
    dialog->applyFormats();
    dialog->setDraft(stored);
    // The row is followed through whatever happens to the list while the dialog is open.
    const QPersistentModelIndex edited = m_model->index(row, 0);
    if (dialog->exec() != QDialog::Accepted || !edited.isValid())
        return;

    const ReminderDraft draft = dialog->draft();
    const int newRow = m_model->setName(edited.row(), draft.name);
    m_model->setDetail(newRow, 0, formats.dateText(draft.date));
    m_model->setDetail(newRow, 1, formats.timeText(draft.time));
    m_model->setDetail(newRow, 2, draft.notes);
    scheduleSave();
}

void AppCore::showAbout()
{
    AboutWindow *window = aboutWindow();
    if (!raiseIfOpen(window)) {
        window->show();
        raiseIfOpen(window);
    }
}

void AppCore::chooseTransparency()
{
    TransparencyDialog *dialog = transparencyDialog();
    if (raiseIfOpen(dialog) || dialog->exec() != QDialog::Accepted)
        return;
    // A text that is no number stops here, before any window has changed.
    const int alpha =
        opacityFromPercentText(dialog->percentText(), m_context.formats->decimalSeparator());
    // Windows not built yet take it when they first show.
    for (WindowSettings *settings : WindowSettings::all())
        settings->setAlpha(alpha);
}

void AppCore::exitProgram()
{
    requestApplicationExit();
}

void AppCore::localeChanged()
{
    // The seconds that have passed are looked at in the form they were lived in.
    m_watch->settle();
    *m_context.formats = LocaleFormats::fromLocale(QLocale::system());
    m_watch->schedulePlan();
}

void AppCore::checkDueReminders()
{
    m_watch->wake();
    showAlarms();
}

void AppCore::showAlarms()
{
    // Looks made while an alarm is being shown only queue what falls due.
    if (m_showingAlarms)
        return;
    m_showingAlarms = true;
    const auto done = qScopeGuard([this] { m_showingAlarms = false; });
    while (!m_alarmQueue.isEmpty() && !applicationExiting()) {
        const DueReminder due = m_alarmQueue.takeFirst();
        AlarmWindow *window = alarmWindow();
        const QString dateText = m_context.formats->dateText(m_context.clock->now().date());
        window->showReminder(dateText, due.name, due.timeText, due.notes);
        if (m_context.sound)
            m_context.sound->playFileAndWait(QDir::currentPath() + QStringLiteral("/alarm.wav"));
        if (applicationExiting())
            break;
        const AlarmNotice notice(m_context.notifier, window,
                                 {due.name, dateText, due.timeText, due.notes});
        window->exec();
    }
}

} // namespace vellaro
