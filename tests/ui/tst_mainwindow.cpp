#include "app/appcore.h"
#include "common/filesizelimit.h"
#include "common/workspace.h"
#include "core/listfile.h"
#include "core/reminderlistmodel.h"
#include "mainwindow/mainwindow.h"
#include "windowkit/guard.h"

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace vellaro;

namespace {

// A right click as the window system delivers it: the press, then the context menu event.
void rightClick(QWidget *viewport, QPoint pos)
{
    QTest::mousePress(viewport, Qt::RightButton, {}, pos);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
    QApplication::sendEvent(viewport, &menu);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, pos);
}

QStringList names(const ReminderListModel *m)
{
    QStringList out;
    for (const ReminderEntry &e : m->entries())
        out << e.name;
    return out;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Workspace> m_ws;

    QString listPath() const { return m_ws->listPath(); }

    std::unique_ptr<AppCore> m_core;

    // A run of the program up to its main window, shown or not.
    MainWindow *createWindow(const QByteArray &listBytes)
    {
        if (!listBytes.isNull()) {
            QFile f(listPath());
            f.open(QIODevice::WriteOnly);
            f.write(listBytes);
        }
        m_core = std::make_unique<AppCore>(m_ws->context);
        m_core->start();
        return m_core->mainWindow();
    }

    static QTableView *list(MainWindow *w) { return w->findChild<QTableView *>("reminderView"); }
    static QAction *action(MainWindow *w, const char *name)
    {
        return w->findChild<QAction *>(name);
    }

    static void selectRow(MainWindow *w, int row)
    {
        list(w)->selectionModel()->select(w->model()->index(row, 0),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    }

private slots:
    void init() { m_ws = std::make_unique<Workspace>(); }

    void cleanup()
    {
        m_core.reset();
        m_ws.reset();
    }

    void firstRun_noListIsAnEmptyListWithoutABox()
    {
        auto w = createWindow(QByteArray());
        QVERIFY(m_ws->errors.isEmpty());
        QCOMPARE(w->model()->rowCount(), 0);
        w->updateOnIdle();
        QCOMPARE(w->statusPanelText(1), QString("Днес е"));
        QCOMPARE(w->statusPanelText(2), QString("9.12.26 г."));
        m_core->saveOnExit();
        QCOMPARE(listfile::load(listPath()), ReminderEntries{});
    }

    // A list that is there but cannot be read is reported, and nothing this run holds is ever
    // written over it: a change made meanwhile is reported again at exit instead.
    void unreadableList_reported_neverSavedOver()
    {
        QVERIFY(QDir().mkpath(listPath())); // a folder: unreadable as a list even to root
        auto w = createWindow(QByteArray());
        const QString reason = QString("Cannot open file \"%1\". Is a directory.").arg(listPath());
        QCOMPARE(m_ws->errors, QStringList{reason});
        m_core->saveOnExit();
        QCOMPARE(m_ws->errors.size(), 1); // nothing changed, nothing to tell
        w->model()->addEntry({"new", {}});
        QVERIFY(!m_core->findChild<QTimer *>("saveTimer")->isActive());
        m_core->saveOnExit();
        QCOMPARE(m_ws->errors, QStringList({reason, reason}));
        QVERIFY(QFileInfo(listPath()).isDir());
    }

    void window_captionColumnsAndCommands()
    {
        auto w = createWindow("");
        QCOMPARE(w->windowTitle(), QString("Vellaro - Версия 2.0"));
        QTableView *view = list(w);
        QVERIFY(view);
        QStringList headers;
        for (int c = 0; c < view->model()->columnCount(); ++c)
            headers << view->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers,
                 QStringList({"Име:", "Дата:", "Час:", "Осведомяване за:", "Повторение:"}));
        QCOMPARE(action(w, "exitAction")->text(), QString("И&зход"));
        QCOMPARE(action(w, "editAction")->statusTip(),
                 QString("Редактиране на всички данни за текущия запис"));
        QVERIFY(!action(w, "transparencyAction")->icon().isNull());
    }

    void headerClick_sortsAscendingByText()
    {
        auto w = createWindow("b\r\n\t9.12.26 г.\r\na\r\n\t10.12.26 г.\r\nc\r\n");
        QCOMPARE(names(w->model()), QStringList({"a", "b", "c"}));
        QHeaderView *header = list(w)->horizontalHeader();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QPoint dateHeader(header->sectionViewportPosition(1) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, dateHeader);
        QCOMPARE(w->sortColumn(), 1);
        // "c" has no date and sorts first; "10..." precedes "9..." as text.
        QCOMPARE(names(w->model()), QStringList({"c", "a", "b"}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, dateHeader);
        QCOMPARE(names(w->model()), QStringList({"c", "a", "b"}));
    }

    void commandsEnabled_followSelection()
    {
        auto w = createWindow("a\r\nb\r\n");
        w->updateOnIdle();
        QVERIFY(!action(w, "deleteAction")->isEnabled());
        QVERIFY(!action(w, "editAction")->isEnabled());
        QVERIFY(action(w, "addAction")->isEnabled());
        selectRow(w, 1);
        w->updateOnIdle();
        QVERIFY(action(w, "deleteAction")->isEnabled());
        QVERIFY(action(w, "editAction")->isEnabled());
    }

    void commandsEnabled_followTheSelectionSignals_withoutWaitingForIdle()
    {
        auto w = createWindow("a\r\nb\r\n");
        QVERIFY(qobject_cast<QMainWindow *>(w));
        QCOMPARE(w->statusBar()->objectName(), QString("statusBar"));
        QCOMPARE(w->centralWidget(), list(w));
        w->updateOnIdle();
        QVERIFY(!action(w, "deleteAction")->isEnabled());
        selectRow(w, 0);
        QVERIFY(action(w, "deleteAction")->isEnabled());
        QVERIFY(action(w, "editAction")->isEnabled());
        list(w)->selectionModel()->clearSelection();
        QVERIFY(!action(w, "deleteAction")->isEnabled());
        selectRow(w, 1);
        QVERIFY(action(w, "editAction")->isEnabled());
        w->deleteSelectedReminder();
        QVERIFY(!action(w, "deleteAction")->isEnabled());
        QVERIFY(!action(w, "editAction")->isEnabled());
    }

    void rightClick_opensContextMenuOnlyWithSelection()
    {
        auto w = createWindow("a\r\nb\r\n");
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto *menu = w->findChild<QMenu *>("rowMenu");
        QWidget *viewport = list(w)->viewport();
        const QPoint empty(10, viewport->height() - 5);

        rightClick(viewport, empty);
        QVERIFY(!menu->isVisible());

        const QRect row0 = list(w)->visualRect(w->model()->index(0, 0));
        rightClick(viewport, row0.center());
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(menu->geometry().contains(viewport->mapToGlobal(row0.center()) + QPoint(1, 1)));
        menu->hide();
    }

    void menuKeyAndShiftF10_openTheRowMenuAtTheCurrentRow()
    {
        auto w = createWindow("a\r\nb\r\nc\r\n");
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        auto *menu = w->findChild<QMenu *>("rowMenu");
        QTableView *view = list(w);
        view->setFocus();

        // Nothing selected: no menu.
        QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY(!menu->isVisible());

        selectRow(w, 2);
        const QRect row2 = view->visualRect(w->model()->index(2, 0));
        // The Menu key reaches the view as the platform's keyboard context menu event, with a
        // position of the platform's choosing (on X11 the mouse pointer's).
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1),
                              view->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(view, &key);
        QTRY_VERIFY(menu->isVisible());
        const QPoint anchor = view->viewport()->mapToGlobal(row2.bottomLeft());
        QVERIFY(qAbs(menu->y() - anchor.y()) <= 2);
        menu->hide();

        QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu->isVisible());
        QVERIFY(qAbs(menu->y() - anchor.y()) <= 2);
        menu->hide();

        // Home and End go up and down the list (not along the row), in the same column.
        view->setCurrentIndex(w->model()->index(1, 2));
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(view->currentIndex(), w->model()->index(2, 2));
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(view->currentIndex(), w->model()->index(0, 2));
    }

    // Also after the first add to an empty list and after an edit: the columns used to keep
    // the width of their headers, cutting the texts to "11…", until the next start.
    void columns_dateAndTimeFitTheirTexts_nameAndNotesShareTheRest()
    {
        auto w = createWindow("");
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTableView *view = list(w);
        QHeaderView *header = view->horizontalHeader();
        QCOMPARE(header->sectionResizeMode(0), QHeaderView::Stretch);
        QCOMPARE(header->sectionResizeMode(3), QHeaderView::Stretch);
        const auto textsFit = [&] {
            auto *shown = static_cast<QAbstractItemView *>(view);
            return header->sectionSize(1) >= shown->sizeHintForColumn(1) &&
                   header->sectionSize(2) >= shown->sizeHintForColumn(2);
        };
        w->model()->addEntry({"a name", {"19.12.26 г.", "17:11:29", "notes"}});
        QTRY_VERIFY(textsFit());
        w->model()->setDetail(0, 1, "11:11:11 следобед");
        QTRY_VERIFY(textsFit());
        QVERIFY(qAbs(header->sectionSize(0) - header->sectionSize(3)) <= 1);
        int total = 0;
        for (int column = 0; column < view->model()->columnCount(); ++column)
            total += header->sectionSize(column);
        QVERIFY(qAbs(total - view->viewport()->width()) <= 1);
    }

    // One-off rows whose moment has passed are drawn in the palette's disabled text colour; a
    // repeating row never is (it has moved on), nor one still to come.
    void passedOneOffRows_drawnDisabled()
    {
        auto w =
            createWindow("future\r\n\t9.12.26 г.\r\n\t18:00:01\r\n"
                         "passed\r\n\t9.12.26 г.\r\n\t17:11:29\r\n"
                         "repeats\r\n\t9.12.26 г.\r\n\t9:00:00\r\n\tn\r\n\tRRULE:FREQ=DAILY\r\n");
        const auto foreground = [&w](int row) {
            return w->model()->index(row, 2).data(Qt::ForegroundRole);
        };
        m_core->model()->setLooked(QDateTime(QDate(2026, 12, 9), QTime(18, 0, 0)));
        QCOMPARE(foreground(1).value<QBrush>().color(),
                 w->palette().color(QPalette::Disabled, QPalette::Text));
        QVERIFY(!foreground(0).isValid());
        QVERIFY(!foreground(2).isValid());
    }

    // A row whose date or time the regional settings never produce can never sound: it shows
    // a warning instead of its picture and says why; the mark follows the settings.
    void rowsThatCannotFallDue_markedWithAReason()
    {
        auto w = createWindow("bare\r\n"
                              "ok\r\n\t9.12.26 г.\r\n\t17:11:29\r\n"
                              "us\r\n\t12/9/26\r\n\t5:11:29 PM\r\n"
                              "zero\r\n\t9.12.26 г.\r\n\t09:00:00\r\n");
        const auto marks = [&] {
            QStringList out;
            for (int row = 0; row < w->model()->rowCount(); ++row)
                out << w->model()->index(row, row % 4).data(Qt::ToolTipRole).toString().left(5) +
                           QString::number(w->model()
                                               ->index(row, 0)
                                               .data(Qt::DecorationRole)
                                               .value<QIcon>()
                                               .cacheKey());
            return out;
        };
        const QStringList first = marks();
        QVERIFY(first[0].startsWith("Датат") && first[1] != first[0]);
        QCOMPARE(QStringList({first[2], first[3]}), QStringList({first[0], first[0]}));
        *m_ws->context.formats =
            LocaleFormats::fromLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        w->model()->formatsChanged();
        QCOMPARE(marks(), QStringList({first[0], first[0], first[1], first[0]}));
    }

    // Every change is on disk within seconds, whoever makes it, and a burst is one save.
    void changes_savedWithinSeconds_aBurstInOneSave()
    {
        auto w = createWindow("a\r\nb\r\nc\r\n");
        auto *timer = m_core->findChild<QTimer *>("saveTimer");
        QVERIFY(timer && !timer->isActive());
        QVERIFY(timer->interval() <= 3000);
        const auto onDisk = [this] { return names(m_core->model()).join(u','); };
        const auto fileNames = [this] {
            QStringList out;
            for (const ReminderEntry &e : listfile::load(listPath()))
                out << e.name;
            return out.join(u',');
        };

        selectRow(w, 0);
        w->deleteSelectedReminder();
        QCOMPARE(names(w->model()), QStringList({"b", "c"}));
        QVERIFY(timer->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(fileNames(), onDisk(), 5000);

        // A rename typed into the list (no command of the program runs): it resorts, and it is
        // saved all the same.
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        selectRow(w, 0);
        w->renameSelectedReminder();
        QVERIFY(!timer->isActive()); // nothing changed yet
        auto *editor = list(w)->findChild<QLineEdit *>();
        QVERIFY(editor);
        editor->setText("z");
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(names(w->model()), QStringList({"c", "z"}));
        QCOMPARE(w->selectedRow(), 1); // the renamed row stays selected at its new place
        QVERIFY(timer->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(fileNames(), QString("c,z"), 5000);

        // A hundred changes in a row start the countdown once.
        QSignalSpy saves(timer, &QTimer::timeout);
        for (int i = 0; i < 100; ++i)
            w->model()->setDetail(0, 2, QString::number(i));
        QTRY_COMPARE_WITH_TIMEOUT(saves.size(), 1, 5000);
        QCOMPARE(listfile::load(listPath()).first().details.value(2), QString("99"));
    }

    // The timed save meets a full disk: its box, the file as it was, and the next change starts
    // the timer again and saves.
    void timedSave_diskFull_reportedFileKept_nextChangeSaves()
    {
        auto w = createWindow("a\r\nb\r\n");
        auto *timer = m_core->findChild<QTimer *>("saveTimer");
        selectRow(w, 0);
        w->deleteSelectedReminder();
        m_core->scheduleSave();

        // Files may not grow past one byte: the write fails half-way (EFBIG, not a signal).
        FileSizeLimit limit(1);
        QVERIFY(limit.isSet());
        timer->start(0);
        QTRY_VERIFY(!m_ws->errors.isEmpty());
        limit.lift();

        QCOMPARE(
            m_ws->errors,
            QStringList{QString("Cannot create file \"%1\". File too large.").arg(listPath())});
        QFile file(listPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("a\r\nb\r\n"));
        file.close();

        m_core->scheduleSave();
        QVERIFY(timer->isActive());
        timer->start(0);
        QTRY_COMPARE(listfile::load(listPath()), (ReminderEntries{{"b", {}}}));
        QCOMPARE(m_ws->errors.size(), 1);
    }

    void saveTimer_runningIsNotRestarted()
    {
        createWindow("a\r\n");
        auto *timer = m_core->findChild<QTimer *>("saveTimer");
        m_core->scheduleSave();
        const int before = timer->remainingTime();
        QTest::qWait(30);
        m_core->scheduleSave();
        QVERIFY(timer->remainingTime() <= before - 20);
    }

    void hint_followsStatusTips()
    {
        auto w = createWindow("");
        QAction *remove = action(w, "deleteAction");
        QStatusTipEvent tip(remove->statusTip());
        QCoreApplication::sendEvent(w, &tip);
        w->updateStatusBar();
        QCOMPARE(w->statusPanelText(0), QString("Изтриване на текущия запис"));
        QStatusTipEvent none{QString()};
        QCoreApplication::sendEvent(w, &none);
        w->updateStatusBar();
        QCOMPARE(w->statusPanelText(0), QString());
    }

    void destroy_writesListThenSettings()
    {
        auto w = createWindow("b\n\td\na\n");
        m_core->saveOnExit();
        QFile f(listPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("a\r\nb\r\n\td\r\n"));
        QCOMPARE(m_ws->ini.readInteger("Vellaro - Версия 2.0", "Width", 0), w->width());
        QCOMPARE(m_ws->ini.readInteger("vellaro", "AlphaBlend", 0), 255);
    }

    void restore_readsEachValueWithCurrentAsDefault_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<int>("alpha");
        QTest::newRow("noFile") << QByteArray() << QRect(224, 190, 509, 344) << 255;
        QTest::newRow("hexWidth") << QByteArray("[Vellaro - Версия 2.0]\nWidth=0x200\n")
                                  << QRect(224, 190, 512, 344) << 255;
        QTest::newRow("onlyLeft") << QByteArray("[Vellaro - Версия 2.0]\nLeft=100\n")
                                  << QRect(100, 190, 509, 344) << 255;
        QTest::newRow("notANumber")
            << QByteArray("[Vellaro - Версия 2.0]\nTop=abc\n") << QRect(224, 190, 509, 344) << 255;
        QTest::newRow("opacityLow8Bits")
            << QByteArray("[vellaro]\nAlphaBlend=300\n") << QRect(224, 190, 509, 344) << 44;
        QTest::newRow("otherExecutableIgnored")
            << QByteArray("[app.exe]\nAlphaBlend=100\n") << QRect(224, 190, 509, 344) << 255;
    }

    void restore_readsEachValueWithCurrentAsDefault()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QRect, geometry);
        QFETCH(int, alpha);
        if (!ini.isNull()) {
            QFile f(m_ws->ini.path());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(ini);
        }
        auto w = createWindow("");
        QCOMPARE(QRect(w->pos(), w->size()), geometry);
        QCOMPARE(w->alpha(), alpha);
        QCOMPARE(qRound(w->windowOpacity() * 255), alpha);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
