#include "app/appcore.h"
#include "common/fakeservices.h"
#include "common/workspace.h"
#include "core/error.h"
#include "core/reminderlistmodel.h"
#include "dialogs/aboutwindow.h"
#include "dialogs/remindereditor.h"
#include "mainwindow/mainwindow.h"
#include "platform/autostart.h"
#include "tray/trayicon.h"
#include "windowkit/guard.h"
#include "windowkit/persistentwindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace vellaro;

namespace {} // namespace

class TestTrayMenu : public QObject
{
    Q_OBJECT

private:
    FakeTrayArea m_area;
    FakeAutostart m_autostart;
    std::unique_ptr<Workspace> m_ws;

    std::unique_ptr<AppCore> m_core;

    // A run of the program as far as its start; the main window is built when first shown.
    enum class List
    {
        Missing, // the first run
        Present,
        Unreadable
    };
    AppCore *start(List list = List::Present)
    {
        if (list == List::Present) {
            QFile f(m_ws->context.listPath);
            f.open(QIODevice::WriteOnly);
        } else if (list == List::Unreadable) {
            QDir().mkpath(m_ws->context.listPath);
        }
        m_core = std::make_unique<AppCore>(m_ws->context);
        m_core->start();
        return m_core.get();
    }

    QAction *item(const char *name) const { return m_core->trayMenu()->findChild<QAction *>(name); }

private slots:
    void init()
    {
        m_ws = std::make_unique<Workspace>();
        m_area.available = true;
        m_area.shown = false;
        m_autostart = FakeAutostart();
        m_ws->context.trayArea = &m_area;
        m_ws->context.autostart = &m_autostart;
    }

    void cleanup()
    {
        m_core.reset();
        m_ws.reset();
    }

    void trayMenu_itemsInOrder_dockedAtStart_noWindowBuilt()
    {
        AppCore *core = start();
        QMenu *menu = core->trayMenu();
        QStringList rows;
        for (QAction *a : menu->actions()) {
            rows << (a->isSeparator() ? "-" : a->text());
            QVERIFY(a->icon().isNull());
        }
        QCOMPARE(rows, (QStringList{"Показване / Скриване", "-", "Добавяне на нов запис ...", "-",
                                    "За програмата", "Стартиране с ОС", "-", "Изход"}));
        QCOMPARE(menu->defaultAction(), item("trayShowHide"));

        // The icon is in the area with its tip, picture and menu; no window is built for a run
        // that sits in the tray.
        QVERIFY(m_area.shown);
        QCOMPARE(m_area.tip, QString("Vellaro Версия: 2.0"));
        QVERIFY(!m_area.icon.isNull());
        QCOMPARE(m_area.menu.data(), menu);
        core->showAtStart();
        QVERIFY(!core->builtMainWindow());
        const QWidgetList windows = QApplication::topLevelWidgets();
        QVERIFY(std::none_of(windows.begin(), windows.end(), [](QWidget *t) {
            return qobject_cast<PersistentWindow *>(t) || qobject_cast<PersistentMainWindow *>(t);
        }));
        item("trayAbout")->trigger();
        QVERIFY(core->aboutWindow()->isVisible());
        m_core.reset();
        QVERIFY(!m_area.shown);
    }

    void tip_cutAfter63Characters_data()
    {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("tip");
        const QString x63(63, u'x');
        QTest::newRow("short") << "Vellaro"
                               << "Vellaro";
        QTest::newRow("63") << x63 << x63;
        QTest::newRow("64") << x63 + "y" << x63;
        // A character outside the basic plane is one character, never cut in two.
        const QString clef = QString::fromUtf16(u"\U0001D11E");
        QTest::newRow("pairs") << QString(62, u'x') + clef + clef << QString(62, u'x') + clef;
    }

    void tip_cutAfter63Characters()
    {
        QFETCH(QString, hint);
        QFETCH(QString, tip);
        QCOMPARE(TrayIcon::tipText(hint), tip);
    }

    void noArea_theWindowShowsAtStartAndWhenTheAreaGoes()
    {
        m_area.available = false;
        start()->showAtStart();
        QVERIFY(m_core->builtMainWindow() && m_core->builtMainWindow()->isVisible());

        m_area.available = true;
        AppCore *core = start();
        core->showAtStart();
        QVERIFY(!core->builtMainWindow());
        m_area.setAvailable(false);
        QVERIFY(core->builtMainWindow() && core->builtMainWindow()->isVisible());
    }

    void activations_clickTogglesDoubleClickLeavesTheWindowAsItWas()
    {
        AppCore *core = start();
        m_area.click(QSystemTrayIcon::Trigger);
        MainWindow *w = core->builtMainWindow();
        QVERIFY(w && w->isVisible());
        m_area.click(QSystemTrayIcon::Trigger);
        QVERIFY(!w->isVisible());
        for (bool visible : {false, true}) {
            m_area.doubleClick();
            QCOMPARE(w->isVisible(), visible);
            w->setVisible(!visible);
        }
        // The middle button and the menu button leave the window alone.
        m_area.click(QSystemTrayIcon::MiddleClick);
        m_area.click(QSystemTrayIcon::Context);
        QVERIFY(!w->isVisible());
        item("trayShowHide")->trigger();
        QVERIFY(w->isVisible());
        item("trayShowHide")->trigger();
        QVERIFY(!w->isVisible());
    }

    void minimise_hidesToTheAreaOnlyWhileThereIsOne()
    {
        for (bool available : {true, false}) {
            m_area.available = available;
            MainWindow *w = start()->mainWindow();
            w->show();
            m_area.shown = false;
            w->setWindowState(Qt::WindowMinimized);
            QCOMPARE(w->isVisible(), !available);
            QCOMPARE(m_area.shown, available); // and the icon is back in the area
            if (available) {
                m_area.click(QSystemTrayIcon::Trigger);
                QVERIFY(w->isVisible());
                QVERIFY(!(w->windowState() & Qt::WindowMinimized));
            }
        }
    }

    // A desktop that draws the menu itself keeps it working while the editor is open: asking
    // for the editor again only brings it forward, and what the user typed is what is added.
    void addWhileTheEditorIsOpen_bringsItForwardAndKeepsWhatWasTyped()
    {
        AppCore *core = start();
        ReminderEditor *editor = core->editor();
        bool stillTyped = false;
        int openDialogs = 0;
        QTimer::singleShot(0, editor, [&] {
            editor->findChild<QLineEdit *>("nameEdit")->setText("Probe");
            item("trayAdd")->trigger();
            stillTyped = editor->findChild<QLineEdit *>("nameEdit")->text() == "Probe";
            const QWidgetList windows = QApplication::topLevelWidgets();
            openDialogs = int(std::count_if(windows.begin(), windows.end(), [](QWidget *t) {
                return t->isVisible() && t->isModal();
            }));
            editor->findChild<QPushButton *>("okButton")->click();
        });
        item("trayAdd")->trigger();
        QVERIFY(stillTyped);
        QCOMPARE(openDialogs, 1);
        QCOMPARE(core->model()->rowCount(), 1);
        QCOMPARE(core->model()->entry(0).name, QString("Probe"));
        QVERIFY(!editor->isVisible());
    }

    void startWithSession_read_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<List>("list");
        QTest::addColumn<bool>("checked");
        QTest::newRow("value there") << true << true << List::Present << true;
        QTest::newRow("value absent") << true << false << List::Present << false;
        QTest::newRow("store does not open: no mark") << false << false << List::Present << false;
        // The first run reports nothing and still reads the store.
        QTest::newRow("first run") << true << false << List::Missing << false;
        QTest::newRow("first run, value there") << true << true << List::Missing << true;
        // A list that cannot be read is reported; the mark is read all the same.
        QTest::newRow("list unreadable") << true << true << List::Unreadable << true;
    }

    void startWithSession_read()
    {
        QFETCH(bool, open);
        QFETCH(bool, exists);
        QFETCH(List, list);
        QFETCH(bool, checked);
        m_autostart.open = open;
        m_autostart.exists = exists;
        start(list);
        QCOMPARE(item("trayStartWithSession")->isChecked(), checked);
        QCOMPARE(m_ws->errors.size(), list == List::Unreadable ? 1 : 0);
        // Changed behind the program's back: the menu shows the truth when it opens.
        m_autostart.exists = !exists;
        emit m_core->trayMenu()->aboutToShow();
        QCOMPARE(item("trayStartWithSession")->isChecked(), open && !exists);
    }

    void startWithSession_clickFollowsTheStoreNotTheMark()
    {
        start(List::Missing);
        QAction *autostart = item("trayStartWithSession");
        QVERIFY(!autostart->isChecked());
        autostart->trigger();
        QVERIFY(autostart->isChecked());
        QCOMPARE(m_autostart.log, QStringList{"write " + QCoreApplication::applicationFilePath()});
        autostart->trigger();
        QVERIFY(!autostart->isChecked());
        QCOMPARE(m_autostart.log.last(), QString("delete"));
        QVERIFY(!m_autostart.exists);
    }

    void startWithSession_storeThatDoesNotOpen_markStaysOff()
    {
        m_autostart.open = false;
        start();
        QAction *autostart = item("trayStartWithSession");
        autostart->trigger();
        autostart->trigger();
        autostart->trigger();
        QVERIFY(!autostart->isChecked());
        QVERIFY(m_autostart.log.isEmpty());
        QVERIFY(m_ws->errors.isEmpty());
    }

    void startWithSession_refusedWriteIsReported_markShowsTheTruth()
    {
        m_autostart.refuseWrite = true;
        start();
        QAction *autostart = item("trayStartWithSession");
        QVERIFY(!autostart->isChecked());
        autostart->trigger();
        QVERIFY(!autostart->isChecked());
        // The closing quote's code is below that of the full stop: no full stop is added.
        QCOMPARE(m_ws->errors, QStringList{"Failed to set data for 'Vellaro'"});
    }
};

QTEST_MAIN(TestTrayMenu)
#include "tst_traymenu.moc"
