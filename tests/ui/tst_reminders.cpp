#include "app/appcore.h"
#include "common/child.h"
#include "common/fakeservices.h"
#include "common/faketime.h"
#include "core/listfile.h"
#include "core/missedreminders.h"
#include "core/reminderlistmodel.h"
#include "dialogs/alarmwindow.h"
#include "dialogs/remindereditor.h"
#include "mainwindow/mainwindow.h"
#include "windowkit/appexit.h"
#include "windowkit/guard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include <functional>

using namespace vellaro;

namespace {

// Runs the action once the window is shown (that is, once its modal run has started).
void whenShown(QWidget *window, std::function<void()> action)
{
    auto *poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, poll, action] {
        if (window->isVisible()) {
            poll->deleteLater();
            action();
        }
    });
    poll->start(5);
}

} // namespace

class TestReminders : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileFile> m_ini;
    FakeClock m_clock;
    FakeSound m_sound;
    LocaleFormats m_bg = LocaleFormats::fromLocale(QLocale("bg_BG"));
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<AppCore> m_core;
    MainWindow *m_main = nullptr;
    ReminderEditor *m_editor = nullptr;
    AlarmWindow *m_alarm = nullptr;
    QStringList m_errors;

    void start(const QByteArray &list)
    {
        QFile f(m_dir->filePath("List.ul1"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(list);
        f.close();
        m_core = std::make_unique<AppCore>(*m_context);
        m_core->start();
        m_main = m_core->mainWindow();
        m_editor = m_core->editor();
        m_alarm = m_core->alarmWindow();
        // The tests drive the check themselves, with the fake clock (no wake-up timer here).
    }

    void select(int row)
    {
        auto *view = m_main->findChild<QTableView *>("reminderView");
        view->selectionModel()->select(m_main->model()->index(row, 0),
                                       QItemSelectionModel::ClearAndSelect |
                                           QItemSelectionModel::Rows);
    }

    QStringList alarmLabels() const
    {
        return {child<QLabel>(m_alarm, "dateValue")->text(),
                child<QLabel>(m_alarm, "nameValue")->text(),
                child<QLabel>(m_alarm, "timeValue")->text(),
                child<QLabel>(m_alarm, "notesValue")->text()};
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_ini = std::make_unique<ProfileFile>(m_dir->filePath("Vellaro.ini"));
        m_context = std::make_unique<AppContext>(AppContext{
            m_dir->filePath("List.ul1"), m_ini.get(), "vellaro", &m_clock, &m_bg, &m_sound});
        m_errors.clear();
        m_clock.current = QDateTime(QDate(2026, 12, 9), QTime(9, 0, 0));
        m_sound.played.clear();
        m_sound.playing = false;
        setErrorBoxHandler([this](const QString &text) { m_errors << text; });
    }

    void cleanup()
    {
        m_core.reset();
        setErrorBoxHandler({});
    }

    void add_givesLocaleTexts_atSortedPlace_andKeepsPickers()
    {
        start("m\r\n\t1.1.27 г.\r\n\t8:00:00\r\n\tx\r\n");
        QCOMPARE(child<QDateEdit>(m_editor, "dateEdit")->date(),
                 QDate(2026, 12, 9)); // set once at creation
        QCOMPARE(child<QTimeEdit>(m_editor, "timeEdit")->time(), QTime(17, 11, 29));
        whenShown(m_editor, [this] {
            QCOMPARE(m_editor->windowTitle(), QString("Добавяне на нов запис"));
            child<QLineEdit>(m_editor, "nameEdit")->setText("a\tname\r\nwith breaks");
            child<QLineEdit>(m_editor, "notesEdit")->setText("бележка");
            child<QDateEdit>(m_editor, "dateEdit")->setDate(QDate(2026, 12, 12));
            child<QTimeEdit>(m_editor, "timeEdit")->setTime(QTime(8, 30, 0));
            // The locale's short date has a two-digit year; a two-digit year typed into the
            // picker would land in another century, so the picker shows all four.
            QCOMPARE(child<QDateEdit>(m_editor, "dateEdit")->text(), QString("12.12.2026 г."));
            QTest::keyClick(m_editor, Qt::Key_Return);
        });
        m_core->addReminder();
        const ReminderEntries rows = m_main->model()->entries();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].name, QString("a\tname  with breaks"));
        QCOMPARE(rows[0].details.toList(), QStringList({"12.12.26 г.", "8:30:00", "бележка"}));
        QVERIFY(m_core->findChild<QTimer *>("saveTimer")->isActive());

        // The second use starts empty but keeps the date and time of the first.
        whenShown(m_editor, [this] {
            QCOMPARE(child<QLineEdit>(m_editor, "nameEdit")->text(), QString());
            QCOMPARE(child<QLineEdit>(m_editor, "notesEdit")->text(), QString());
            QCOMPARE(child<QDateEdit>(m_editor, "dateEdit")->date(), QDate(2026, 12, 12));
            QCOMPARE(child<QTimeEdit>(m_editor, "timeEdit")->time(), QTime(8, 30, 0));
            QTest::keyClick(m_editor, Qt::Key_Escape);
        });
        m_core->addReminder();
        QCOMPARE(m_main->model()->rowCount(), 2);
    }

    void edit_cancelLeavesRow_okRewritesIt()
    {
        start("r\r\n\t10.12.26 г.\r\n\t7:15:00\r\n\tnotes\r\n"
              "s\r\n\t11.12.26 г.\r\n\t8:00:00\r\n\tother\r\n");
        select(0);
        whenShown(m_editor, [this] {
            QCOMPARE(m_editor->windowTitle(), QString("Редактиране на запис"));
            QCOMPARE(child<QLineEdit>(m_editor, "nameEdit")->text(), QString("r"));
            QCOMPARE(child<QDateEdit>(m_editor, "dateEdit")->date(), QDate(2026, 12, 10));
            QCOMPARE(child<QTimeEdit>(m_editor, "timeEdit")->time(), QTime(7, 15, 0));
            child<QLineEdit>(m_editor, "nameEdit")->setText("changed");
            child<QPushButton>(m_editor, "cancelButton")->click();
        });
        m_main->editSelectedReminder();
        QCOMPARE(m_main->model()->entry(0).name, QString("r"));
        QVERIFY(!m_core->findChild<QTimer *>("saveTimer")->isActive());
        QCOMPARE(child<QTimeEdit>(m_editor, "timeEdit")->time(),
                 QTime(7, 15, 0)); // pickers keep the row's values

        whenShown(m_editor, [this] {
            child<QTimeEdit>(m_editor, "timeEdit")->setTime(QTime(7, 16, 0));
            child<QPushButton>(m_editor, "okButton")->click();
        });
        m_main->editSelectedReminder();
        QCOMPARE(m_main->model()->entry(0).details.toList(),
                 QStringList({"10.12.26 г.", "7:16:00", "notes"}));
        QCOMPARE(m_main->selectedRow(), 0);
        QVERIFY(m_core->findChild<QTimer *>("saveTimer")->isActive());

        // A new name that sorts after "s": the new date, time and notes go with the renamed
        // row, and "s", now where it stood, keeps its own.
        whenShown(m_editor, [this] {
            child<QLineEdit>(m_editor, "nameEdit")->setText("t");
            child<QDateEdit>(m_editor, "dateEdit")->setDate(QDate(2026, 12, 24));
            child<QTimeEdit>(m_editor, "timeEdit")->setTime(QTime(18, 0, 0));
            child<QLineEdit>(m_editor, "notesEdit")->setText("renamed");
            child<QPushButton>(m_editor, "okButton")->click();
        });
        m_main->editSelectedReminder();
        QCOMPARE(m_main->model()->entries(),
                 ReminderEntries({{"s", {"11.12.26 г.", "8:00:00", "other"}},
                                  {"t", {"24.12.26 г.", "18:00:00", "renamed"}}}));
        QCOMPARE(m_main->selectedRow(), 1);
    }

    // Repeats chosen in the editor go to the row as its RRULE; an edit keeps a rule the choices
    // cannot show and every other extra detail; an end before the start is refused in the open
    // editor, which keeps what was typed.
    void repeats_chosenInTheEditor_keptThroughEdits()
    {
        start("x\r\n\t10.12.26 г.\r\n\t7:00:00\r\n\tn\r\n\tRRULE:FREQ=MONTHLY;BYDAY=-1FR\r\n"
              "\tX-OTHER;P=1:kept\r\n");
        whenShown(m_editor, [this] {
            child<QLineEdit>(m_editor, "nameEdit")->setText("weekly");
            child<QComboBox>(m_editor, "repeatCombo")->setCurrentIndex(3); // every week
            QVERIFY(child<QWidget>(m_editor, "weekdays")->isVisible());
            QVERIFY(child<QCheckBox>(m_editor, "weekday3")->isChecked()); // today's, Wednesday
            child<QCheckBox>(m_editor, "weekday1")->setChecked(true);
            child<QCheckBox>(m_editor, "untilBox")->setChecked(true);
            child<QDateEdit>(m_editor, "untilEdit")->setDate(QDate(2026, 12, 1));
            child<QPushButton>(m_editor, "okButton")->click();
            QCOMPARE(m_errors.size(), 1); // ends before it begins
            QVERIFY(m_editor->isVisible());
            child<QDateEdit>(m_editor, "untilEdit")->setDate(QDate(2026, 12, 31));
            child<QPushButton>(m_editor, "okButton")->click();
        });
        m_core->addReminder();
        QCOMPARE(m_main->model()->entry(0).details.toList(),
                 QStringList({"9.12.26 г.", "17:11:29", "",
                              "RRULE:FREQ=WEEKLY;BYDAY=MO,WE;UNTIL=20261231T235959"}));
        QCOMPARE(m_main->model()->data(m_main->model()->index(0, 4)).toString(),
                 QString("пн, ср до 31.12.26 г."));

        select(1);
        whenShown(m_editor, [this] {
            QCOMPARE(child<QComboBox>(m_editor, "repeatCombo")->currentText(),
                     QString("FREQ=MONTHLY;BYDAY=-1FR"));
            child<QLineEdit>(m_editor, "notesEdit")->setText("changed");
            child<QPushButton>(m_editor, "okButton")->click();
        });
        m_main->editSelectedReminder();
        QCOMPARE(m_main->model()->entry(1).details.toList(),
                 QStringList({"10.12.26 г.", "7:00:00", "changed", "RRULE:FREQ=MONTHLY;BYDAY=-1FR",
                              "X-OTHER;P=1:kept"}));
    }

    void edit_badRows_reportAndOpenNoDialog_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<QString>("error");
        QTest::newRow("unparsableDate")
            << QByteArray("r\r\n\tsoon\r\n\t7:15:00\r\n\tn\r\n") << "'s' is not a valid date.";
        QTest::newRow("unparsableTime") << QByteArray("r\r\n\t10.12.26 г.\r\n\tnoon\r\n\tn\r\n")
                                        << "'noon' is not a valid time.";
        QTest::newRow("twoDetails")
            << QByteArray("r\r\n\t10.12.26 г.\r\n\t7:15:00\r\n") << "List index out of bounds (2)";
    }

    void edit_badRows_reportAndOpenNoDialog()
    {
        QFETCH(QByteArray, list);
        QFETCH(QString, error);
        start(list);
        select(0);
        guarded([this] { m_main->editSelectedReminder(); });
        QCOMPARE(m_errors, QStringList{error});
        QVERIFY(!m_editor->isVisible());
        QCOMPARE(m_main->model()->entries(), listfile::parse(list));
    }

    void due_windowShownAsSoundStarts_closeStopsIt()
    {
        start("Среща\r\n\t9.12.26 г.\r\n\t9:00:02\r\n\tв офиса\r\n");
        m_core->checkDueReminders();
        QVERIFY(m_sound.played.isEmpty());
        m_clock.current = m_clock.current.addSecs(2);
        whenShown(m_alarm, [this] {
            QVERIFY(m_sound.playing); // seen while it is heard, not after
            QCOMPARE(alarmLabels(), QStringList({"9.12.26 г.", "Среща", "9:00:02", "в офиса"}));
            QTest::keyClick(m_alarm, Qt::Key_Escape); // does nothing
            QVERIFY(m_alarm->isVisible());
            child<QPushButton>(m_alarm, "closeButton")->click();
        });
        m_core->checkDueReminders();
        QVERIFY(!m_alarm->isVisible());
        QVERIFY(!m_sound.playing);
        QCOMPARE(m_sound.played, QStringList{QDir::currentPath() + "/alarm.wav"});
        QCOMPARE(m_main->model()->rowCount(), 1); // the entry stays
    }

    void twoDue_secondShownAfterFirstClosed_howeverLong()
    {
        start("a\r\n\t9.12.26 г.\r\n\t9:00:01\r\n\tfirst\r\n"
              "b\r\n\t9.12.26 г.\r\n\t9:00:01\r\n\tsecond\r\n"
              "c\r\n\t9.12.26 г.\r\n\t9:00:20\r\n\tthird\r\n");
        m_core->checkDueReminders();
        m_clock.current = m_clock.current.addSecs(1);
        QStringList shown;
        std::function<void()> closeNext = [&] {
            shown << child<QLabel>(m_alarm, "notesValue")->text();
            if (shown.size() == 1) {
                // The user is away for a minute; checks keep running under the open window.
                for (int i = 0; i < 60; ++i) {
                    m_clock.current = m_clock.current.addSecs(1);
                    m_core->checkDueReminders();
                }
            }
            child<QPushButton>(m_alarm, "closeButton")->click();
            if (shown.size() < 3)
                QTimer::singleShot(0, m_alarm, [&] { whenShown(m_alarm, closeNext); });
        };
        whenShown(m_alarm, closeNext);
        m_core->checkDueReminders();
        QCOMPARE(shown, QStringList({"first", "second", "third"}));
        QCOMPARE(m_sound.played.size(), 3);
        QVERIFY(m_errors.isEmpty());
    }

    // A daily row through a suspend of three days: one alarm for the days missed (not three),
    // the row moved on past them, and the next day's alarm at its own second.
    void dailyRow_acrossASuspend_oneAlarmThenItsNextDay()
    {
        start("pill\r\n\t9.12.26 г.\r\n\t9:00:02\r\n\tn\r\n\tRRULE:FREQ=DAILY\r\n");
        m_core->checkDueReminders();
        int shown = 0;
        std::function<void()> close = [&] {
            ++shown;
            child<QPushButton>(m_alarm, "closeButton")->click();
        };
        whenShown(m_alarm, close);
        m_clock.current = QDateTime(QDate(2026, 12, 12), QTime(9, 0, 0));
        m_core->checkDueReminders();
        QCOMPARE(shown, 1);
        QTRY_COMPARE(m_main->model()->entry(0).dateText(), QString("12.12.26 г."));
        whenShown(m_alarm, close);
        m_clock.current = m_clock.current.addSecs(2);
        m_core->checkDueReminders();
        QCOMPARE(shown, 2);
        QTRY_COMPARE(m_main->model()->entry(0).dateText(), QString("13.12.26 г."));
    }

    // The check sleeps until something can fall due: the plan follows the list's changes and
    // the clock, and a wake-up at the planned second shows the reminder.
    void plan_followsTheListAndTheClock_wakeShowsTheReminder()
    {
        FakeWakeTimer timer;
        m_context->wakeTimer = &timer;
        start("a\r\n\t9.12.26 г.\r\n\t9:20:00\r\n\tn\r\n");
        const QDateTime nine = m_clock.current;
        // The first check, at once; the plan made for the list's load does not put it off.
        QCoreApplication::processEvents();
        QCOMPARE(timer.asked, nine);
        timer.fire();
        QCOMPARE(timer.asked, nine.addSecs(20 * 60));

        m_main->model()->addEntry({"b", {"9.12.26 г.", "9:10:00", "n"}});
        QTRY_COMPARE(timer.asked, nine.addSecs(10 * 60));
        m_main->model()->removeEntry(1); // "b", after "a"
        QTRY_COMPARE(timer.asked, nine.addSecs(20 * 60));
        m_main->model()->setDetail(0, 1, "9:20:30");
        QTRY_COMPARE(timer.asked, nine.addSecs(20 * 60 + 30));

        // The clock is set forward past the row: the check catches it up and plans anew.
        m_clock.current = nine.addSecs(25 * 60);
        whenShown(m_alarm, [this] {
            QCOMPARE(child<QLabel>(m_alarm, "timeValue")->text(), QString("9:20:30"));
            child<QPushButton>(m_alarm, "closeButton")->click();
        });
        timer.setClock();
        // Planned before the alarm shows, which it does from the event loop.
        QCOMPARE(timer.asked, nine.addSecs(25 * 60 + 3600));
        QTRY_COMPARE(m_sound.played.size(), 1);
        QVERIFY(!m_alarm->isVisible());
        m_context->wakeTimer = nullptr;
    }

    // Each alarm is on the desktop while its window is open, with the texts the window shows.
    void notifications_oneAtATimeWhileTheWindowIsOpen()
    {
        FakeNotifier notifier;
        m_context->notifier = &notifier;
        start("a\r\n\t9.12.26 г.\r\n\t9:00:01\r\n\tfirst\r\n"
              "b\r\n\t9.12.26 г.\r\n\t9:00:01\r\n\tsecond\r\n");
        m_core->checkDueReminders();
        m_clock.current = m_clock.current.addSecs(1);
        QList<QList<quint64>> shownWhileOpen;
        std::function<void()> closeNext = [&] {
            shownWhileOpen << notifier.shown;
            // The second is closed from its notification's "Затвори".
            if (shownWhileOpen.size() < 2)
                child<QPushButton>(m_alarm, "closeButton")->click();
            else
                emit notifier.closeRequested(notifier.shown.value(0));
            if (shownWhileOpen.size() < 2)
                QTimer::singleShot(0, m_alarm, [&] { whenShown(m_alarm, closeNext); });
        };
        whenShown(m_alarm, closeNext);
        m_core->checkDueReminders();
        QCOMPARE(shownWhileOpen, QList<QList<quint64>>({{1}, {2}}));
        QVERIFY(notifier.shown.isEmpty());
        QCOMPARE(notifier.posted.size(), 2);
        const AlarmNotification &second = notifier.posted[1];
        QCOMPARE(QStringList({second.name, second.dateText, second.timeText, second.notes}),
                 QStringList({"b", "9.12.26 г.", "9:00:01", "second"}));
        QVERIFY(!m_alarm->isVisible());
        QVERIFY(m_errors.isEmpty());
        m_context->notifier = nullptr;
    }

    // A snooze adds a postponed row at the later moment and keeps the time chosen; the postponed
    // alarm snoozed again (from its notification) moves that row, and closed with Return,
    // wherever the focus is, removes it. The row that sounded first stays as it was.
    void snooze_postponedRowMovesThenGoes_choiceKept()
    {
        FakeNotifier notifier;
        m_context->notifier = &notifier;
        m_ini->writeInteger("Напомняне ...", "Snooze", 30);
        start("Среща\r\n\t9.12.26 г.\r\n\t9:00:01\r\n\tв офиса\r\n");
        m_core->checkDueReminders();
        auto *choice = child<QComboBox>(m_alarm, "snoozeChoice");
        const auto alarmAt = [&](const char *time, std::function<void()> act) {
            m_clock.current = QDateTime(QDate(2026, 12, 9), QTime::fromString(time));
            whenShown(m_alarm, act);
            m_core->checkDueReminders();
        };
        const ReminderEntry sounded{"Среща", {"9.12.26 г.", "9:00:01", "в офиса"}};
        const auto postponedAt = [](const QString &time) {
            return ReminderEntry{"Среща", {"9.12.26 г.", time, "в офиса", "X-VELLARO-SNOOZED:1"}};
        };
        alarmAt("09:00:01", [&] {
            QCOMPARE(choice->currentText(), QString("30 минути"));
            choice->setCurrentIndex(choice->findText("5 минути"));
            child<QPushButton>(m_alarm, "snoozeButton")->click();
        });
        QCOMPARE(m_main->model()->entries(), ReminderEntries({sounded, postponedAt("9:05:01")}));
        QCOMPARE(m_ini->readInteger("Напомняне ...", "Snooze", 0), 5);

        alarmAt("09:05:01", [&] { emit notifier.snoozeRequested(notifier.shown.value(0)); });
        QCOMPARE(m_main->model()->entries(), ReminderEntries({sounded, postponedAt("9:10:01")}));
        alarmAt("09:10:01", [&] { QTest::keyClick(choice, Qt::Key_Return); });
        QCOMPARE(m_main->model()->entries(), ReminderEntries{sounded});
        QVERIFY(notifier.shown.isEmpty());
        QCOMPARE(m_sound.played.size(), 3);
        m_context->notifier = nullptr;
    }

    // What fell due while the program was off is told once at start, with no sound and no alarm
    // window; a repeating row as it stood, before it moves on. The record is kept from the start.
    void missedWhileOff_toldOnceAtStart_repeatsMoveOn()
    {
        FakeNotifier notifier;
        m_context->notifier = &notifier;
        const QString record = lastLookedPath(m_context->listPath);
        QCOMPARE(writeLastLooked(record, m_clock.current.toSecsSinceEpoch() - 7200), 0);
        const QByteArray list =
            "daily\r\n\t9.12.26 г.\r\n\t8:00:00\r\n\tn\r\n\tRRULE:FREQ=DAILY\r\n"
            "once\r\n\t9.12.26 г.\r\n\t8:30:00\r\n\tn\r\n";
        start(list);
        QCOMPARE(notifier.informed,
                 QList<QStringList>({{"Пропуснати напомняния", "daily — 9.12.26 г. 8:00:00\n"
                                                               "once — 9.12.26 г. 8:30:00"}}));
        m_core->checkDueReminders(); // the run's first look: then repeating rows move on
        QTRY_COMPARE(m_main->model()->entry(0).dateText(), QString("10.12.26 г."));
        QVERIFY(m_sound.played.isEmpty() && !m_alarm->isVisible());
        m_core.reset(); // saves nothing: the start's record alone keeps it from being told twice
        start(list);
        QCOMPARE(notifier.informed.size(), 1);
        m_context->notifier = nullptr;
    }

    void exitWhileAlarmOpen_silencesIt_opensNoFurtherWindow()
    {
        // Exiting sets a flag for the rest of this process, so this test runs last.
        start("a\r\n\t9.12.26 г.\r\n\t9:00:01\r\n\tn\r\n"
              "b\r\n\t9.12.26 г.\r\n\t9:00:01\r\n\tn\r\n");
        m_core->checkDueReminders();
        m_clock.current = m_clock.current.addSecs(1);
        whenShown(m_alarm, [] { requestApplicationExit(); });
        m_core->checkDueReminders();
        QCOMPARE(m_sound.played.size(), 1); // "b" never came
        QVERIFY(!m_sound.playing);
    }
};

QTEST_MAIN(TestReminders)
#include "tst_reminders.moc"
