#include "faketrayshell.h"
#include "guard.h"
#include "notifyicon.h"
#include "systemtrayshell.h"

#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace vellaro;

namespace {

QIcon solidIcon(Qt::GlobalColor color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

QString shiftText(TShiftState shift)
{
    QStringList flags;
    if (shift & ssShift)
        flags << "Shift";
    if (shift & ssAlt)
        flags << "Alt";
    if (shift & ssCtrl)
        flags << "Ctrl";
    if (shift & ssLeft)
        flags << "Left";
    if (shift & ssRight)
        flags << "Right";
    if (shift & ssMiddle)
        flags << "Middle";
    if (shift & ssDouble)
        flags << "Double";
    return flags.join('+');
}

const char *buttonText(TMouseButton button)
{
    switch (button) {
    case mbLeft:
        return "L";
    case mbRight:
        return "R";
    case mbMiddle:
        return "M";
    }
    return "?";
}

} // namespace

class TestNotifyIcon : public QObject
{
    Q_OBJECT

private:
    QStringList m_log;
    QStringList m_errors;
    std::unique_ptr<FakeTrayShell> m_shell;
    std::unique_ptr<QWidget> m_owner;
    QPointer<TPopupMenu> m_menu;

    // An icon whose every event writes to the log, as the program's window would handle them.
    TNotifyIcon *makeIcon()
    {
        auto *icon = new TNotifyIcon(m_owner.get(), m_shell.get());
        icon->setOnClick([this](QObject *) { m_log << "click"; });
        icon->setOnDblClick([this](QObject *) { m_log << "dblclick"; });
        icon->setOnMouseDown([this](QObject *, TMouseButton b, TShiftState s, int x, int y) {
            m_log << QStringLiteral("down %1 %2 %3,%4")
                         .arg(buttonText(b), shiftText(s))
                         .arg(x)
                         .arg(y);
        });
        icon->setOnMouseUp([this](QObject *, TMouseButton b, TShiftState s, int, int) {
            m_log << QStringLiteral("up %1 %2").arg(buttonText(b), shiftText(s));
        });
        icon->setOnMouseMove([this](QObject *, TShiftState s, int x, int y) {
            m_log << QStringLiteral("move %1 %2,%3").arg(shiftText(s)).arg(x).arg(y);
        });
        return icon;
    }

    // A menu of the owner with items that log their clicks.
    TPopupMenu *makeMenu(const QList<bool> &defaults)
    {
        auto *menu = new TPopupMenu(m_owner.get());
        menu->setObjectName("TrayPopup");
        for (int i = 0; i < defaults.size(); ++i) {
            auto *item = new TMenuItem(QStringLiteral("item %1").arg(i), menu);
            item->setDefault(defaults[i]);
            connect(item, &QAction::triggered, this,
                    [this, i] { m_log << QStringLiteral("item %1").arg(i); });
            menu->addAction(item);
        }
        m_menu = menu;
        return menu;
    }

    static qintptr send(TNotifyIcon *icon, quint32 message, qintptr lParam = 0)
    {
        return icon->IconData().hWnd->SendMessage(message, 1, lParam);
    }

    static void sendMouse(TNotifyIcon *icon, std::initializer_list<quint32> messages)
    {
        for (quint32 m : messages)
            send(icon, 0x0800, m);
    }

private slots:
    void init()
    {
        m_log.clear();
        m_errors.clear();
        m_shell = std::make_unique<FakeTrayShell>(&m_log);
        m_owner = std::make_unique<QWidget>();
        m_owner->setObjectName("Owner");
        setErrorBoxHandler([this](const QString &text) { m_errors << text; });
    }

    void cleanup()
    {
        m_owner.reset();
        m_shell.reset();
        setErrorBoxHandler({});
    }

    void construction_fillsTheRecordAndLeavesTheAreaAlone()
    {
        TNotifyIcon *icon = makeIcon();
        const NOTIFYICONDATAA &data = icon->IconData();
        QCOMPARE(data.cbSize, 88u);
        QCOMPARE(data.uID, 1u);
        QCOMPARE(data.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
        QCOMPARE(data.uFlags, 7u);
        QCOMPARE(data.uCallbackMessage, 2048u);
        QVERIFY(data.hWnd);
        QVERIFY(m_shell->calls.isEmpty());
    }

    void loading_valuesSetBeforeTheAddShowAtTheAdd()
    {
        TNotifyIcon *icon = makeIcon();
        const QIcon picture = solidIcon(Qt::red);
        icon->setHint("Vellaro Версия: 2.0");
        icon->setShowHint(true);
        icon->setIcon(picture);
        QCOMPARE(m_shell->messages(),
                 (QList<NotifyIconMessage>{NIM_MODIFY, NIM_MODIFY, NIM_MODIFY}));
        QVERIFY(!m_shell->shown);

        icon->FinishLoading();
        QCOMPARE(m_shell->messages().mid(3), (QList<NotifyIconMessage>{NIM_MODIFY, NIM_ADD}));
        QVERIFY(m_shell->shown);
        QCOMPARE(m_shell->current.szTip, QString("Vellaro Версия: 2.0"));
        QCOMPARE(m_shell->current.hIcon.cacheKey(), picture.cacheKey());
    }

    void loading_hiddenIconIsRemovedNotAdded()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setIconVisible(false);
        icon->FinishLoading();
        QVERIFY(!m_shell->shown);
        QCOMPARE(m_shell->messages().last(), NIM_DELETE);
        QVERIFY(!icon->IconVisible());
    }

    void tip_data()
    {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<bool>("showHint");
        QTest::addColumn<QString>("tip");
        const QString s63 = QString(60, 'a') + "bcd";
        QTest::newRow("short") << "Vellaro" << true << "Vellaro";
        QTest::newRow("63 characters whole") << s63 << true << s63;
        QTest::newRow("64 cut to 63") << s63 + "e" << true << s63;
        QTest::newRow("100 Cyrillic cut to 63") << QString(100, u'ж') << true << QString(63, u'ж');
        QTest::newRow("empty hint") << "" << true << "";
        QTest::newRow("hint not shown") << "Vellaro" << false << "";
        // One character of the tip may take two UTF-16 units; it is kept whole or left out.
        const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");
        QTest::newRow("pair at the end kept whole")
            << QString(62, 'a') + clef + "z" << true << QString(62, 'a') + clef;
    }

    void tip()
    {
        QFETCH(QString, hint);
        QFETCH(bool, showHint);
        QFETCH(QString, tip);
        TNotifyIcon *icon = makeIcon();
        icon->FinishLoading();
        icon->setHint(hint);
        icon->setShowHint(showHint);
        QCOMPARE(m_shell->calls.last().message, NIM_MODIFY);
        QCOMPARE(m_shell->current.szTip, tip);
        // The tip flag stays set with an empty tip, so the shell clears an old one.
        QCOMPARE(m_shell->current.uFlags, 7u);
    }

    void requests_takeTheIconAgainAndReportTheShellsAnswer()
    {
        TNotifyIcon *icon = makeIcon();
        QVERIFY(!icon->ModifyTrayIcon());
        QVERIFY(!icon->DeleteTrayIcon());
        QVERIFY(!icon->IconVisible()); // the flag follows the request, not the answer

        const QIcon first = solidIcon(Qt::red);
        icon->setIcon(first);
        QVERIFY(icon->AddTrayIcon());
        QVERIFY(icon->IconVisible());
        QCOMPARE(m_shell->current.hIcon.cacheKey(), first.cacheKey());
        QVERIFY(!icon->AddTrayIcon()); // already there: refused, nothing changes

        const QIcon second = solidIcon(Qt::blue);
        icon->setIcon(second);
        QVERIFY(m_shell->calls.last().accepted);
        QCOMPARE(m_shell->current.hIcon.cacheKey(), second.cacheKey());
        QVERIFY(icon->DeleteTrayIcon());
        QCOMPARE(m_shell->calls.last().data.hIcon.cacheKey(), second.cacheKey());
    }

    void designPreview_showsAndHidesWithoutTouchingIconVisible()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setIconVisible(false);
        icon->setDesignPreview(true);
        QVERIFY(m_shell->shown);
        QVERIFY(!icon->IconVisible());
        QVERIFY(!icon->PreviewInProgress());
        icon->setIconVisible(true);
        icon->setDesignPreview(false);
        QVERIFY(!m_shell->shown);
        QVERIFY(icon->IconVisible());
    }

    void mouse_data()
    {
        QTest::addColumn<QList<quint32>>("messages");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("move") << QList<quint32>{512} << QStringList{"move  640,12"};
        QTest::newRow("left click")
            << QList<quint32>{513, 514} << QStringList{"down L Left 640,12", "click", "up L Left"};
        QTest::newRow("left double-click, one click only")
            << QList<quint32>{513, 514, 515, 514}
            << QStringList{"down L Left 640,12", "click", "up L Left", "dblclick", "up L Left"};
        QTest::newRow("release without press") << QList<quint32>{514} << QStringList{"up L Left"};
        QTest::newRow("press only") << QList<quint32>{513} << QStringList{"down L Left 640,12"};
        QTest::newRow("middle") << QList<quint32>{519, 520}
                                << QStringList{"down M Middle 640,12", "up M Middle"};
        QTest::newRow("right without menu")
            << QList<quint32>{516, 517} << QStringList{"down R Right 640,12", "up R Right"};
        QTest::newRow("right double-click") << QList<quint32>{518} << QStringList{};
        QTest::newRow("unknown") << QList<quint32>{0x0209, 0x020A, 0} << QStringList{};
    }

    void mouse()
    {
        QFETCH(QList<quint32>, messages);
        QFETCH(QStringList, events);
        TNotifyIcon *icon = makeIcon();
        for (quint32 m : messages)
            QCOMPARE(send(icon, 0x0800, m), qintptr(0));
        QCOMPARE(m_log, events);
        // Only a press leaves a click waiting for its release.
        QCOMPARE(icon->ClickPending(), messages.last() == WM_LBUTTONDOWN);
    }

    void mouse_keysAndCursorAreReadBeforeTheHandlers()
    {
        TNotifyIcon *icon = makeIcon();
        m_shell->keysDown = {VK_SHIFT, VK_CONTROL, VK_MENU};
        m_shell->cursor = {-20, 900};
        // A handler that moves the cursor does not move the event that follows it.
        icon->setOnClick([this](QObject *) { m_shell->cursor = {1, 1}; });
        icon->setOnMouseUp([this](QObject *, TMouseButton, TShiftState s, int x, int y) {
            m_log << QStringLiteral("up %1 %2,%3").arg(shiftText(s)).arg(x).arg(y);
        });
        sendMouse(icon, {513, 514});
        QCOMPARE(m_log, (QStringList{"down L Shift+Alt+Ctrl+Left -20,900",
                                     "up Shift+Alt+Ctrl+Left -20,900"}));
    }

    void disabled_ignoresTheMouseButAnswersTheEndOfSession()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setPopupMenu(makeMenu({true}));
        icon->setEnabled(false);
        sendMouse(icon, {512, 513, 514, 515, 514, 516, 517, 519, 520});
        QVERIFY(m_log.isEmpty()); // no event, no menu, no default item
        QVERIFY(!icon->ClickPending());
        QCOMPARE(send(icon, WM_QUERYENDSESSION), qintptr(1));
        QCOMPARE(send(icon, 0x0401), qintptr(0));
    }

    void defaultItem_data()
    {
        QTest::addColumn<QList<bool>>("defaults");
        QTest::addColumn<bool>("autoPopup");
        QTest::addColumn<bool>("leftPopup");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("one default") << QList<bool>{false, true, false} << true << false
                                     << QStringList{"dblclick", "item 1"};
        QTest::newRow("two defaults: the upper one")
            << QList<bool>{false, true, true} << true << false << QStringList{"dblclick", "item 1"};
        QTest::newRow("none") << QList<bool>{false, false} << true << false
                              << QStringList{"dblclick"};
        QTest::newRow("menu may not pop up")
            << QList<bool>{true} << false << false << QStringList{"dblclick"};
        QTest::newRow("left popup") << QList<bool>{true} << true << true << QStringList{"dblclick"};
    }

    void defaultItem()
    {
        QFETCH(QList<bool>, defaults);
        QFETCH(bool, autoPopup);
        QFETCH(bool, leftPopup);
        QFETCH(QStringList, events);
        TNotifyIcon *icon = makeIcon();
        TPopupMenu *menu = makeMenu(defaults);
        menu->setAutoPopup(autoPopup);
        icon->setPopupMenu(menu);
        icon->setLeftPopup(leftPopup);
        sendMouse(icon, {515});
        QCOMPARE(m_log, events);
    }

    void defaultItem_disabledItemIsNotClicked()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setPopupMenu(makeMenu({true, true}));
        m_menu->actions().first()->setEnabled(false);
        sendMouse(icon, {515});
        QCOMPARE(m_log, QStringList{"dblclick"});
    }

    void menu_rightPressOpensItAtTheCursorInOrder()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setPopupMenu(makeMenu({false}));
        auto *edit = new QLineEdit(m_owner.get());
        edit->setObjectName("Edit");
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowActive(m_owner.get()));
        edit->setFocus();
        // Something waiting in the queue is handled before the menu opens.
        QTimer::singleShot(0, this, [this] { m_log << "queued"; });
        m_shell->chooseInMenu = [this](QMenu *) { m_log << "chosen"; };

        sendMouse(icon, {516, 517});
        QCOMPARE(m_log, (QStringList{"down R Right 640,12", "queued", "foreground Owner",
                                     "focus Edit", "menu TrayPopup at 640,12", "chosen",
                                     "post 0 to Owner", "up R Right"}));
        QCOMPARE(m_menu->PopupComponent(), icon);
    }

    void menu_leftPopupOpensOnTheLeftPress()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setPopupMenu(makeMenu({true}));
        icon->setLeftPopup(true);
        sendMouse(icon, {513, 514});
        QCOMPARE(m_log,
                 (QStringList{"down L Left 640,12", "foreground Owner", "menu TrayPopup at 640,12",
                              "post 0 to Owner", "click", "up L Left"}));
    }

    void menu_notOpenedWhenItMayNotOrTheCursorIsUnknown()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setPopupMenu(makeMenu({false}));
        m_menu->setAutoPopup(false);
        sendMouse(icon, {516});
        m_menu->setAutoPopup(true);
        m_shell->cursorReadable = false;
        sendMouse(icon, {516});
        QCOMPARE(m_log, (QStringList{"down R Right 640,12", "down R Right 0,0"}));
    }

    void cycle_stepsThroughTheListAndRestartsAtZero()
    {
        TNotifyIcon *icon = makeIcon();
        icon->FinishLoading();
        auto *list = new TImageList(m_owner.get());
        const QList<QIcon> images{solidIcon(Qt::red), solidIcon(Qt::green), solidIcon(Qt::blue)};
        for (const QIcon &image : images)
            list->Add(image);
        QList<qint32> seen;
        QList<qint64> shown;
        icon->setOnCycle([&](QObject *, qint32 current) { seen << current; });
        icon->setIconList(list);
        icon->setCycleInterval(5);
        icon->setCycleIcons(true);
        QVERIFY(icon->CycleTimer()->isActive());
        QTRY_VERIFY(seen.size() >= 4);
        icon->setCycleIcons(false);
        QVERIFY(!icon->CycleTimer()->isActive());
        QCOMPARE(seen.mid(0, 4), (QList<qint32>{0, 1, 2, 0}));
        for (const FakeTrayShell::Call &call : m_shell->calls)
            if (call.message == NIM_MODIFY && call.accepted)
                shown << call.data.hIcon.cacheKey();
        QCOMPARE(shown.mid(0, 4), (QList<qint64>{images[0].cacheKey(), images[1].cacheKey(),
                                                 images[2].cacheKey(), images[0].cacheKey()}));
        // Stopping keeps the picture of the last step.
        QCOMPARE(icon->Icon().cacheKey(), images[seen.last()].cacheKey());

        seen.clear();
        icon->setCycleIcons(true);
        QCOMPARE(icon->CycleIndex(), 0);
        QTRY_VERIFY(!seen.isEmpty());
        QCOMPARE(seen.first(), 0);
    }

    void cycle_intervalZeroNeverTicksAndNoListChangesNothing()
    {
        TNotifyIcon *icon = makeIcon();
        icon->FinishLoading();
        const QIcon picture = solidIcon(Qt::red);
        icon->setIcon(picture);
        int ticks = 0;
        icon->setOnCycle([&](QObject *, qint32) { ++ticks; });
        icon->setCycleIcons(true);
        QVERIFY(!icon->CycleTimer()->isActive());

        const qsizetype before = m_shell->calls.size();
        icon->setCycleInterval(5);
        QVERIFY(icon->CycleTimer()->isActive());
        QTest::qWait(40);
        QCOMPARE(ticks, 0);
        QCOMPARE(m_shell->calls.size(), before);
        QCOMPARE(icon->Icon().cacheKey(), picture.cacheKey());
    }

    void componentRemoved_dropsTheMenuAndTheList()
    {
        TNotifyIcon *icon = makeIcon();
        auto *list = new TImageList(m_owner.get());
        list->Add(solidIcon(Qt::red));
        icon->setIconList(list);
        icon->setPopupMenu(makeMenu({true}));

        // Told directly, as the owner tells every component.
        icon->ComponentRemoved(m_menu, opInsert);
        QCOMPARE(icon->PopupMenu(), m_menu.data());
        icon->ComponentRemoved(m_menu, opRemove);
        QVERIFY(!icon->PopupMenu());
        sendMouse(icon, {516, 515});
        QCOMPARE(m_log, (QStringList{"down R Right 640,12", "dblclick"}));

        // Taken from the owner: the owner's removal notice reaches the icon.
        icon->setPopupMenu(m_menu);
        m_menu->setParent(nullptr);
        QVERIFY(!icon->PopupMenu());
        delete m_menu;
        delete list;
        QVERIFY(!icon->IconList());
        int ticks = 0;
        icon->setOnCycle([&](QObject *, qint32) { ++ticks; });
        icon->setCycleInterval(5);
        icon->setCycleIcons(true);
        QTest::qWait(30);
        QCOMPARE(ticks, 0);
    }

    void minimize_hidesToTheTrayAndBringsTheIconBack()
    {
        TNotifyIcon *icon = makeIcon();
        icon->FinishLoading();
        icon->setMinimizeToTray(true);
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
        icon->setIconVisible(false);
        QVERIFY(!m_shell->shown);

        m_owner->setWindowState(Qt::WindowMinimized);
        QVERIFY(!m_owner->isVisible());
        QVERIFY(m_shell->shown);
        QVERIFY(icon->IconVisible());

        // Shown again, it comes back un-minimised; a second minimise finds the icon there.
        icon->ShowMainWindow();
        QVERIFY(m_owner->isVisible());
        QVERIFY(!(m_owner->windowState() & Qt::WindowMinimized));
        m_owner->setWindowState(Qt::WindowMinimized);
        QVERIFY(!m_owner->isVisible());
        QCOMPARE(m_shell->calls.last().message, NIM_ADD);
        QVERIFY(!m_shell->calls.last().accepted);
        QVERIFY(m_shell->shown);
    }

    void minimize_staysOnTheDesktopWithoutTrayOrArea()
    {
        TNotifyIcon *icon = makeIcon();
        icon->FinishLoading();
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
        m_owner->setWindowState(Qt::WindowMinimized);
        QVERIFY(m_owner->isVisible());

        // Hiding into a missing area would leave nothing to bring the window back with.
        icon->setMinimizeToTray(true);
        m_shell->areaAvailable = false;
        m_owner->setWindowState(Qt::WindowNoState);
        m_owner->setWindowState(Qt::WindowMinimized);
        QVERIFY(m_owner->isVisible());
    }

    void startMinimized_keepsTheMainWindowHidden()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setStartMinimized(true);
        icon->FinishLoading();
        QVERIFY(!icon->ShowMainWindowAtRun());
        QVERIFY(m_owner->isHidden());
        QVERIFY(m_shell->shown);
    }

    void showAndHide_actOnTheMainWindowNotTheOwner()
    {
        QWidget mainWindow;
        auto *icon = new TNotifyIcon(m_owner.get(), m_shell.get(), &mainWindow);
        icon->ShowMainWindow();
        QVERIFY(mainWindow.isVisible());
        QVERIFY(!m_owner->isVisible());
        icon->HideMainWindow();
        QVERIFY(!mainWindow.isVisible());
    }

    void handlerError_isReportedAndEndsThatMessage()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setOnClick([](QObject *) { throw std::runtime_error("broken handler"); });
        sendMouse(icon, {513, 514});
        QCOMPARE(m_errors, QStringList{"broken handler."});
        QCOMPARE(m_log, QStringList{"down L Left 640,12"}); // the release's MouseUp was skipped
        sendMouse(icon, {519});
        QCOMPARE(m_log.last(), QString("down M Middle 640,12"));
    }

    // The desktop's own shell keeps its icons as the component expects, with or without an area.
    void systemTrayShell_acceptsAndRefusesLikeTheArea()
    {
        SystemTrayShell shell;
        MessageWindow target([](quint32, quintptr, qintptr) { return qintptr(0); });
        NOTIFYICONDATAA data;
        data.cbSize = 88;
        data.uID = 1;
        data.uFlags = 7;
        data.uCallbackMessage = 2048;
        QVERIFY(!shell.Shell_NotifyIconA(NIM_ADD, data)); // no window to report to
        data.hWnd = &target;
        QVERIFY(!shell.Shell_NotifyIconA(NIM_MODIFY, data));
        QVERIFY(!shell.Shell_NotifyIconA(NIM_DELETE, data));
        QVERIFY(shell.Shell_NotifyIconA(NIM_ADD, data));
        QVERIFY(!shell.Shell_NotifyIconA(NIM_ADD, data));
        data.szTip = "Vellaro";
        QVERIFY(shell.Shell_NotifyIconA(NIM_MODIFY, data));
        data.uID = 2;
        QVERIFY(!shell.Shell_NotifyIconA(NIM_MODIFY, data));
        QVERIFY(shell.Shell_NotifyIconA(NIM_ADD, data));
        QVERIFY(shell.Shell_NotifyIconA(NIM_DELETE, data));
        data.uID = 1;
        QVERIFY(shell.Shell_NotifyIconA(NIM_DELETE, data));
        QVERIFY(!shell.Shell_NotifyIconA(NIM_DELETE, data));
    }

    void destruction_removesTheIconAndTheMinimiseHook()
    {
        QPointer<TNotifyIcon> icon = makeIcon();
        icon->FinishLoading();
        icon->setMinimizeToTray(true);
        const QPointer<MessageWindow> target = icon->IconData().hWnd;
        QVERIFY(m_shell->shown);
        delete icon;
        QVERIFY(!m_shell->shown);
        QCOMPARE(m_shell->calls.last().message, NIM_DELETE);
        QVERIFY(!target);

        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
        m_owner->setWindowState(Qt::WindowMinimized);
        QVERIFY(m_owner->isVisible());
    }

    void destruction_withTheOwnerRemovesTheIcon()
    {
        TNotifyIcon *icon = makeIcon();
        icon->setPopupMenu(makeMenu({true}));
        icon->FinishLoading();
        m_owner.reset();
        QVERIFY(!m_shell->shown);
    }
};

QTEST_MAIN(TestNotifyIcon)
#include "tst_notifyicon.moc"
