#include "app/appcore.h"
#include "common/fakeservices.h"
#include "common/workspace.h"
#include "core/reminderlistmodel.h"
#include "mainwindow/adaptivemenubar.h"
#include "mainwindow/mainwindow.h"
#include "windowkit/guard.h"

#include <QApplication>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace vellaro;

namespace {

constexpr int kFile = 0;
constexpr int kOptions = 1;
constexpr int kHelp = 2;
const QStringList kWholeFile{"&Добавяне ...", "&Изтриване", "&Редактиране ...", "-", "И&зход"};
const QStringList kDeleteOnly{"&Изтриване", "<expand>"};

QStringList shown(const AdaptiveMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) {
        if (a->isVisible())
            out << (a == menu->expandRow() ? "<expand>" : a->isSeparator() ? "-" : a->text());
    }
    return out;
}

// The colour of the picture column beside an entry.
QColor columnColour(AdaptiveMenu *menu, QAction *entry)
{
    return menu->grab().toImage().pixelColor(3, menu->actionGeometry(entry).center().y());
}

} // namespace

class TestMenuBar : public QObject
{
    Q_OBJECT

private:
    FakeSound m_sound;
    std::unique_ptr<Workspace> m_ws;
    std::unique_ptr<AppCore> m_core;
    MainWindow *m_window = nullptr;
    AdaptiveMenuBar *m_bar = nullptr;

    AdaptiveMenu *menu(int index) const { return m_bar->popupMenu(index); }
    QAction *entry(int index, const char *command) const
    {
        return menu(index)->findChild<QAction *>(QString::fromLatin1(command) + "Item");
    }

    // Opens a menu with a click on the bar.
    AdaptiveMenu *open(int index)
    {
        AdaptiveMenu *m = menu(index);
        QTest::mouseClick(m_bar, Qt::LeftButton, {},
                          m_bar->actionGeometry(m->menuAction()).center());
        return QTest::qWaitFor([m] { return m->isVisible(); }) ? m : nullptr;
    }

    // Runs "&Изтриване" from File with the mouse, with a row selected so that it is enabled.
    void runDeleteFromMenu()
    {
        auto *view = m_window->findChild<QTableView *>("reminderView");
        view->selectRow(0);
        m_window->updateOnIdle();
        AdaptiveMenu *file = open(kFile);
        QVERIFY(file);
        QTest::mouseClick(file, Qt::LeftButton, {},
                          file->actionGeometry(entry(kFile, "deleteAction")).center());
        QTRY_VERIFY(!file->isVisible());
        QTest::qWait(1); // the bar notices it was left once the loop is back
    }

private slots:
    void initTestCase()
    {
        // The classic beige button face, so that the light column differs from the white menu.
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Button, QColor(236, 233, 216));
        QApplication::setPalette(palette);
    }

    void init()
    {
        m_ws = std::make_unique<Workspace>();
        m_ws->context.sound = &m_sound;
        QVERIFY(m_ws->writeList("a\r\nb\r\nc\r\n"));
        m_sound.events.clear();
        m_core = std::make_unique<AppCore>(m_ws->context);
        m_core->start();
        m_window = m_core->mainWindow();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_bar = m_window->findChild<AdaptiveMenuBar *>("menuBar");
        QVERIFY(m_bar);
    }

    void cleanup()
    {
        m_core.reset();
        m_ws.reset();
    }

    void freshStart_menusWhole_unusedEntriesInTheLightColumn()
    {
        // The desktop's font; the design's height, or more where the font needs it.
        QCOMPARE(m_bar->font().family(), QApplication::font().family());
        QCOMPARE(m_bar->height(), std::max(24, m_bar->fontMetrics().height() + 8));
        AdaptiveMenu *file = open(kFile);
        QVERIFY(file);
        QCOMPARE(shown(file), kWholeFile);
        QCOMPARE(columnColour(file, file->entries()[0]), QColor(247, 246, 238));
        file->hide();
        AdaptiveMenu *options = open(kOptions);
        QVERIFY(options);
        QCOMPARE(columnColour(options, options->entries()[0]), QColor(236, 233, 216));
        options->hide();
        AdaptiveMenu *help = open(kHelp);
        QVERIFY(help);
        QCOMPARE(shown(help), QStringList({"З&а програмата"}));
        help->hide();
    }

    void commandFromTheMenu_countsPlaysTheSoundRunsAndShortensTheMenu()
    {
        runDeleteFromMenu();
        QCOMPARE(m_window->model()->rowCount(), 2);
        QCOMPARE(m_sound.events, QStringList({"menu-click"}));
        QCOMPARE(m_bar->usage().itemUsage(kFile, 1), (UsageRecord{1, 13}));
        AdaptiveMenu *file = open(kFile);
        QVERIFY(file);
        QCOMPARE(shown(file), kDeleteOnly);
        file->hide();
    }

    void expansion_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("rowClick") << "rowClick";
        QTest::newRow("downOnLastEntry") << "down";
        QTest::newRow("ctrlDown") << "ctrlDown";
        QTest::newRow("restOnFirstEntry") << "wait";
        // Once the highlight has left the first entry, the wait only raises the row.
        QTest::newRow("restAfterMovingOn") << "waitOnRow";
    }

    void expansion()
    {
        QFETCH(QString, how);
        runDeleteFromMenu();
        m_bar->setExpandDelay(how.startsWith("wait") ? 50 : 60000);
        AdaptiveMenu *file = open(kFile);
        QVERIFY(file);
        QAction *remove = entry(kFile, "deleteAction");
        if (how == "rowClick") {
            QTest::mouseClick(file, Qt::LeftButton, {},
                              file->actionGeometry(file->expandRow()).center());
        } else if (how == "down") {
            file->setActiveAction(remove);
            QTest::keyClick(file, Qt::Key_Down);
            QCOMPARE(file->activeAction(), entry(kFile, "editAction")); // on to the next one
        } else if (how == "ctrlDown") {
            QTest::keyClick(file, Qt::Key_Down, Qt::ControlModifier);
        } else if (how == "wait") {
            file->setActiveAction(remove);
        } else {
            file->setActiveAction(file->expandRow());
            QTRY_COMPARE(m_window->currentHint(), QString("Expand"));
            QTRY_VERIFY(file->isExpandRowRaised());
            QCOMPARE(shown(file), kDeleteOnly);
            return;
        }
        QTRY_COMPARE(shown(file), kWholeFile);
        QVERIFY(file->isVisible()); // expanding runs nothing and closes nothing
        QCOMPARE(m_window->model()->rowCount(), 2);

        // Over to the next menu and back within the visit: still whole.
        QTest::keyClick(file, Qt::Key_Right);
        QTRY_VERIFY(menu(kOptions)->isVisible());
        QTest::keyClick(menu(kOptions), Qt::Key_Left);
        QTRY_VERIFY(file->isVisible());
        QCOMPARE(shown(file), kWholeFile);

        // Leaving the bar ends the visit; the next one starts collapsed.
        file->hide();
        m_window->setFocus();
        QTest::qWait(1);
        QVERIFY(open(kFile));
        QCOMPARE(shown(file), kDeleteOnly);
    }

    void otherWaysToRunCommands_leaveUsageUnchanged()
    {
        m_window->findChild<QTableView *>("reminderView")->selectRow(0);
        m_window->findChild<QAction *>("rowDeleteAction")->trigger(); // the list's context menu
        m_window->findChild<QAction *>("deleteAction")->trigger();    // as the tray menu does
        QCOMPARE(m_window->model()->rowCount(), 1);
        for (int i = 0; i < m_bar->usage().itemCount(kFile); ++i)
            QCOMPARE(m_bar->usage().itemUsage(kFile, i).useCount, 0);
        QVERIFY(m_sound.events.isEmpty());
        AdaptiveMenu *file = open(kFile);
        QVERIFY(file);
        QCOMPARE(shown(file), kWholeFile);
        file->hide();
    }

    void highlight_putsTheHintIntoTheStatusBar()
    {
        AdaptiveMenu *options = open(kOptions);
        QVERIFY(options);
        QTest::mouseMove(options, options->actionGeometry(options->entries()[0]).center());
        QTRY_COMPARE(m_window->currentHint(), QString("Процент на прозрачност"));
        m_window->updateStatusBar();
        QCOMPARE(m_window->statusPanelText(0), QString("Процент на прозрачност"));
        options->hide();
        QTRY_COMPARE(m_window->currentHint(), QString());
    }

    void keys_cyrillicLettersPickNothing_enterRunsTheHighlightedEntry()
    {
        AdaptiveMenu *help = open(kHelp);
        QVERIFY(help);
        // "З&а програмата" underlines the Cyrillic "а".
        QTest::sendKeyEvent(QTest::Click, help, Qt::Key_unknown, QString("а"), Qt::NoModifier);
        QTest::keyClick(help, Qt::Key_A);
        QVERIFY(help->isVisible());
        QTest::keyClick(help, Qt::Key_Down);
        QTest::keyClick(help, Qt::Key_Return);
        QTRY_VERIFY(!help->isVisible());
        QCOMPARE(m_bar->usage().itemUsage(kHelp, 0), (UsageRecord{1, 13}));
        // Used now: Help shows it with the normal picture column.
        QTest::qWait(1);
        QVERIFY(open(kHelp));
        QCOMPARE(columnColour(help, help->entries()[0]), m_bar->usedColumnColour());
        help->hide();
    }
};

QTEST_MAIN(TestMenuBar)
#include "tst_menubar.moc"
