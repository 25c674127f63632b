#include "app/appcore.h"

#include "app/alarmnotice.h"
#include "core/error.h"
#include "core/listfile.h"
#include "core/missedreminders.h"
#include "core/opacity.h"
#include "core/reminderlistmodel.h"
#include "core/reminderwatch.h"
#include "core/repeatrule.h"
#include "core/wallclocktimer.h"
#include "dialogs/aboutwindow.h"
#include "dialogs/alarmwindow.h"
#include "dialogs/remindereditor.h"
#include "dialogs/transparencydialog.h"
#include "mainwindow/mainwindow.h"
#include "platform/autostart.h"
#include "platform/windowactivation.h"
#include "resources/icons.h"
#include "tray/trayicon.h"
#include "windowkit/appexit.h"
#include "windowkit/guard.h"
#include "windowkit/persistentwindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QScopeGuard>
#include <QTimer>

namespace vellaro {

namespace {

// A change is on disk this long after it was made; the changes of a burst go in one save.
constexpr int kSaveDelayMs = 2000;

// The snooze time used last, in minutes, kept with the alarm window's own settings.
const QString kSnoozeKey = QStringLiteral("Snooze");

} // namespace

AppCore::AppCore(AppContext &context) : m_context(context)
{
    m_model = new ReminderListModel(this);
    m_model->setRowDecoration(commandIcon(3));
    m_model->setPostponedDecoration(postponedRowIcon());

    m_main.settings = std::make_unique<WindowSettings>(context, MainWindow::design());
    m_about.settings = std::make_unique<WindowSettings>(context, AboutWindow::design());
    m_editor.settings = std::make_unique<WindowSettings>(context, ReminderEditor::design());
    m_alarm.settings = std::make_unique<WindowSettings>(context, AlarmWindow::design());
    m_transparency.settings =
        std::make_unique<WindowSettings>(context, TransparencyDialog::design());

    m_saveTimer = new QTimer(this);
    m_saveTimer->setObjectName(QStringLiteral("saveTimer"));
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(kSaveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, guardedSlot(this, &AppCore::saveAfterChanges));
    // Every change of the rows, whoever makes it (the editor, a rename in the list, a delete),
    // is saved within seconds: a crash or a power cut must not take it with it. Loading a list
    // and sorting it change nothing the file must keep.
    for (auto signal : {&ReminderListModel::rowsInserted, &ReminderListModel::rowsRemoved})
        connect(m_model, signal, this, &AppCore::scheduleSave);
    connect(m_model, &ReminderListModel::dataChanged, this, &AppCore::scheduleSave);

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
        // Should the program end without a save, the next start still knows these sounded.
        recordLastLooked();
        // A repeating row that sounded moves on to its next occurrence.
        for (const DueReminder &d : due)
            m_repeatsToAdvance << d.rowId;
        scheduleRepeatAdvance();
        // Shown from the event loop: a look made before a change of the list must not open a
        // modal window in the middle of it.
        QMetaObject::invokeMethod(this, guardedSlot(this, &AppCore::showAlarms),
                                  Qt::QueuedConnection);
    });
    connect(m_watch, &ReminderWatch::passedOver, this, guardedSlot(this, &AppCore::tellMissed));
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
    // The mark shows what the store holds each time the menu opens, whatever changed it.
    connect(m_trayMenu, &QMenu::aboutToShow, this, &AppCore::showStartWithSessionState);
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
    guarded([this] { loadReminders(); });
    // Whatever the list did, the mark says whether the program starts with the session.
    showStartWithSessionState();
    // A repeat rule that cannot be read is reported with its row; the row stays a one-off.
    guarded([this] {
        if (const QStringList bad = unreadableRepeatRules(m_model->rows()); !bad.isEmpty())
            throw Error(QStringLiteral("Правилото за повторение не може да бъде прочетено и "
                                       "записът остава еднократен:\n") +
                        bad.join(u'\n'));
    });
    // What passed while the program was off is told before repeating rows move on from it.
    guarded([this] { reportMissedReminders(); });
    // The first look of the run, right as the event loop starts: rows due before it never
    // sound. Once it is made, repeating rows whose occurrence passed while the program was off
    // move on (those of its own second have had their chance to sound).
    connect(m_watch, &ReminderWatch::firstLookMade, this, [this] {
        m_advanceAllRepeats = true;
        scheduleRepeatAdvance();
    });
    m_watch->start();
    // After a clock step, occurrences jumped over (more than the check catches up) move on too.
    if (m_context.wakeTimer) {
        connect(m_context.wakeTimer, &WallClockTimer::clockChanged, this, [this] {
            m_advanceAllRepeats = true;
            scheduleRepeatAdvance();
        });
    }
}

void AppCore::showAtStart()
{
    if (!m_trayIcon->areaAvailable())
        mainWindow()->show();
}

void AppCore::saveOnExit()
{
    m_saveTimer->stop();
    const auto write = [](auto &lazy) {
        return [&lazy] {
            if (lazy.window)
                lazy.window->saveOnExit();
            else
                lazy.settings->write();
        };
    };
    // The list matters more than window geometry; every step runs whatever failed before it,
    // and failures with one cause (a read-only folder) are reported once.
    guardedSteps({write(m_transparency), write(m_alarm), write(m_editor), write(m_about),
                  [this] { saveReminders(); }, write(m_main)});
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

void AppCore::handOverRequest(const QStringList &words)
{
    if (words.value(0) != QLatin1String("show"))
        return;
    MainWindow *window = mainWindow();
    if (!window->isVisible())
        m_trayIcon->showMainWindow();
    bringWindowForward(window, words.value(1));
}

void AppCore::showStartWithSessionState()
{
    AutostartStore *store = m_context.autostart;
    m_startWithSessionAction->setChecked(store && store->isOpen() && store->valueExists());
}

void AppCore::toggleStartWithSession()
{
    // Whether this writes or deletes follows the store alone, never the check mark; the mark
    // then shows what the store holds, also when the write failed.
    const auto showState = qScopeGuard([this] { showStartWithSessionState(); });
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
    m_listUnreadable.reset();
    m_model->clear();
    // No list yet is the first run: an empty list, nothing to report.
    const QFileInfo file(m_context.listPath);
    if (!file.exists() && !file.isSymLink())
        return;
    try {
        m_model->setEntries(listfile::load(m_context.listPath,
                                           listfile::legacyCodePage(m_context.formats->locale())));
    } catch (const Error &error) {
        // A list that is there but cannot be read is never replaced by what this run holds.
        m_listUnreadable = error;
        throw;
    }
}

void AppCore::reportMissedReminders()
{
    if (m_listUnreadable)
        return;
    const QString recordPath = lastLookedPath(m_context.listPath);
    const QList<MissedReminder> missed = missedWhileOff(
        readLastLooked(recordPath), m_context.clock->now(), *m_model, *m_context.formats);
    // Told once: a run that ends before its first save does not tell it again.
    recordLastLooked();
    tellMissed(missed);
}

void AppCore::tellMissed(const QList<MissedReminder> &missed)
{
    DesktopNotifier *notifier = m_context.notifier;
    if (missed.isEmpty() || !notifier)
        return;
    const quint64 notice = notifier->inform(kMissedReportTitle, missedReportText(missed));
    if (notice == 0)
        return;
    connect(notifier, &DesktopNotifier::activated, this,
            [this, notice](quint64 picked, const QString &token) {
                if (picked == notice)
                    guarded([&] { handOverRequest({QStringLiteral("show"), token}); });
            });
}

void AppCore::recordLastLooked()
{
    if (m_listUnreadable)
        return;
    // Not the user's data: without it the next start reports less, so a failure is not shown.
    writeLastLooked(lastLookedPath(m_context.listPath), m_watch->lastLooked().toSecsSinceEpoch());
}

void AppCore::saveReminders()
{
    // After the list, also when writing it failed: the seconds were looked at all the same.
    const auto record = qScopeGuard([this] { recordLastLooked(); });
    if (m_listUnreadable) {
        // Nothing was changed: the file stays as it is, unread. A change made meanwhile cannot
        // go over it; the user hears why.
        if (m_listChangedSinceLoad)
            throw *m_listUnreadable;
        return;
    }
    m_listChangedSinceLoad = false;
    listfile::save(m_context.listPath, m_model->rows());
}

void AppCore::scheduleSave()
{
    m_listChangedSinceLoad = true;
    // The first change of a burst starts the countdown; the rest ride on it.
    if (!m_listUnreadable && !m_saveTimer->isActive())
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
    const qint64 opened = m_watch->editStarted();
    if (dialog->exec() != QDialog::Accepted)
        return;

    const ReminderDraft draft = dialog->draft();
    const LocaleFormats &formats = *m_context.formats;
    ReminderEntry added{draft.name,
                        {formats.dateText(draft.date), formats.timeText(draft.time), draft.notes}};
    if (!draft.repeatRule.isEmpty())
        added.setProperty(kRepeatRuleProperty, draft.repeatRule);
    const int row = m_model->addEntry(added);
    m_watch->editSaved(opened, row);
    m_model->setLooked(m_watch->lastLooked());
    // A repeating row given a moment that has passed moves on to its next occurrence.
    m_repeatsToAdvance << m_model->rows().at(row).id;
    scheduleRepeatAdvance();
}

void AppCore::editReminder(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    ReminderEditor *dialog = editor();
    if (raiseIfOpen(dialog))
        return;
    const LocaleFormats &formats = *m_context.formats;
    const ReminderEntry entry = m_model->entry(row);
    const int thisYear = m_context.clock->now().date().year();
    const ReminderDraft stored{
        entry.name,
        formats.parseDateText(entry.requiredDetail(ReminderEntry::kDateDetail), thisYear),
        formats.parseTimeText(entry.requiredDetail(ReminderEntry::kTimeDetail)),
        entry.requiredDetail(ReminderEntry::kNotesDetail), entry.property(kRepeatRuleProperty)};
    dialog->setWindowTitle(QStringLiteral("Редактиране на запис"));
    dialog->applyFormats();
    dialog->setDraft(stored);
    // The row is followed through whatever happens to the list while the dialog is open.
    const QPersistentModelIndex edited = m_model->index(row, 0);
    const qint64 opened = m_watch->editStarted();
    if (dialog->exec() != QDialog::Accepted || !edited.isValid())
        return;

    // One change of the list: the name, date, time and notes together; the row's extra details
    // (its repeat rule, what other programs keep with it) stay as they are.
    const ReminderDraft draft = dialog->draft();
    ReminderEntry changed = m_model->entry(edited.row());
    changed.name = draft.name;
    while (changed.details.size() < ReminderEntry::kFirstExtraDetail)
        changed.details.append(QString());
    changed.details[ReminderEntry::kDateDetail] = formats.dateText(draft.date);
    changed.details[ReminderEntry::kTimeDetail] = formats.timeText(draft.time);
    changed.details[ReminderEntry::kNotesDetail] = draft.notes;
    if (draft.repeatRule.isEmpty())
        changed.removeProperty(kRepeatRuleProperty);
    else
        changed.setProperty(kRepeatRuleProperty, draft.repeatRule);
    const ReminderEntry &before = m_model->rows().at(edited.row());
    const bool moved =
        before.dateText() != changed.dateText() || before.timeText() != changed.timeText();
    const int newRow = m_model->updateEntry(edited.row(), changed);
    // Unmoved, the row sounded (or not) at its moment as it stood.
    if (moved)
        m_watch->editSaved(opened, newRow);
    m_repeatsToAdvance << m_model->rows().at(newRow).id;
    scheduleRepeatAdvance();
}

void AppCore::scheduleRepeatAdvance()
{
    if (m_repeatAdvancePending)
        return;
    m_repeatAdvancePending = true;
    // From the event loop: a look made before a change of the list must not change it midway.
    QMetaObject::invokeMethod(this, guardedSlot(this, &AppCore::advanceRepeatingRows),
                              Qt::QueuedConnection);
}

void AppCore::advanceRepeatingRows()
{
    m_repeatAdvancePending = false;
    // The rows that fell due have passed: the list draws them so.
    m_model->setLooked(m_watch->lastLooked());
    const QList<quint64> ids = std::exchange(m_repeatsToAdvance, {});
    if (std::exchange(m_advanceAllRepeats, false))
        advanceRepeats(*m_model, *m_context.formats, m_watch->lastLooked());
    else if (!ids.isEmpty())
        advanceRepeats(*m_model, *m_context.formats, m_watch->lastLooked(), ids);
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
    const QString snoozeSection = AlarmWindow::design().caption;
    while (!m_alarmQueue.isEmpty() && !applicationExiting()) {
        const DueReminder due = m_alarmQueue.takeFirst();
        AlarmWindow *window = alarmWindow();
        const QString dateText = m_context.formats->dateText(m_context.clock->now().date());
        window->showReminder(dateText, due.name, due.timeText, due.notes);
        const int storedSnooze = m_context.settings->readInteger(snoozeSection, kSnoozeKey,
                                                                 AlarmWindow::kFirstSnoozeMinutes);
        window->offerSnooze(storedSnooze);
        // The row as it sounded: a postponed row closed unchanged has served its purpose.
        const int row = m_model->rowOfId(due.rowId);
        const std::optional<ReminderEntry> sounded =
            row >= 0 ? std::optional(m_model->entry(row)) : std::nullopt;
        int outcome = QDialog::Rejected;
        {
            // Seen as it is heard: the window and the notification come as the sound starts,
            // and the sound plays on while the event loop serves the window, the check and the
            // tray.
            const AlarmNotice notice(m_context.notifier, window,
                                     {due.name, dateText, due.timeText, due.notes});
            if (m_context.sound)
                m_context.sound->startAlarm(QDir::currentPath() + QStringLiteral("/alarm.wav"));
            outcome = window->exec();
            // Closed: this alarm is silent now, and the next one starts its own sound.
            if (m_context.sound)
                m_context.sound->stopAlarm();
        }
        // The session ended under the window: the user neither closed nor snoozed it.
        if (applicationExiting())
            break;
        if (outcome == AlarmWindow::kSnoozed) {
            const int minutes = window->snoozeMinutes();
            guarded([&] { snoozeAlarm(due, minutes); });
            if (minutes != storedSnooze)
                guarded(
                    [&] { m_context.settings->writeInteger(snoozeSection, kSnoozeKey, minutes); });
        } else if (sounded && sounded->isPostponed()) {
            // Only as it sounded: one edited while its alarm was open is the user's again.
            const int now = m_model->rowOfId(due.rowId);
            if (now >= 0 && m_model->rows().at(now) == *sounded)
                m_model->removeEntry(now);
        }
    }
}

void AppCore::snoozeAlarm(const DueReminder &due, int minutes)
{
    const QDateTime later = m_context.clock->now().addSecs(qint64(minutes) * 60);
    const LocaleFormats &formats = *m_context.formats;
    const int row = m_model->rowOfId(due.rowId);
    const bool again = row >= 0 && m_model->rows().at(row).isPostponed();
    ReminderEntry postponed;
    if (again) {
        // Snoozed again: the same row moves, so one alarm never leaves two rows behind.
        postponed = m_model->entry(row);
        while (postponed.details.size() < ReminderEntry::kFirstExtraDetail)
            postponed.details.append(QString());
    } else {
        postponed = {due.name, {QString(), QString(), due.notes}};
        postponed.setProperty(ReminderEntry::kPostponedProperty, QStringLiteral("1"));
    }
    postponed.details[ReminderEntry::kDateDetail] = formats.dateText(later.date());
    postponed.details[ReminderEntry::kTimeDetail] = formats.timeText(later.time());
    if (again)
        m_model->updateEntry(row, postponed);
    else
        m_model->addEntry(postponed);
}

} // namespace vellaro
