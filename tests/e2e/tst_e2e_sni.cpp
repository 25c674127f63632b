// The real program under a StatusNotifierItem host (KDE, GNOME's AppIndicator extension, XFCE and
// LXQt panels, Wayland bars): a private session bus with a watcher, and the item driven the way a
// panel drives it, through its own methods and the menu it exports over DBusMenu.
#include "e2e/e2eharness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>

using namespace vellaro::e2e;

namespace {

const QString kEditorTitle = QStringLiteral("Добавяне на нов запис");
const QString kTip = QStringLiteral("Vellaro Версия: 2.0");
const QString kShowHide = QStringLiteral("Показване / Скриване");
const QString kAdd = QStringLiteral("Добавяне на нов запис ...");
const QString kAutostart = QStringLiteral("Стартиране с ОС");
const QString kExit = QStringLiteral("Изход");
constexpr int kTimeoutMs = 20000;
// A menu stays open for as long as the user leaves it; an answer within this is an answer at once.
constexpr int kAtOnceMs = 5000;

const QByteArray kList = "bravo\n\t31 Dec 2099\n\t07:00:00\n\tПърви\n";
// The same list as the program writes it.
const QByteArray kListSaved = "bravo\r\n\t31 Dec 2099\r\n\t07:00:00\r\n\tПърви\r\n";

// The entries a host shows: hidden ones left out, separators as "-", a check mark as "[x]" or
// "[ ]" after the label.
QStringList shown(const std::vector<MenuEntry> &menu)
{
    QStringList out;
    for (const MenuEntry &entry : menu) {
        if (!entry.visible)
            continue;
        QString text = entry.separator ? QStringLiteral("-") : entry.label;
        if (entry.checkable)
            text += entry.checked ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
        out << text;
    }
    return out;
}

int idOf(const std::vector<MenuEntry> &menu, const QString &label)
{
    for (const MenuEntry &entry : menu) {
        if (entry.visible && !entry.separator && entry.label == label)
            return entry.id;
    }
    return -1;
}

// The names of the reminders a list file holds: its lines that are not continuation lines.
QStringList reminderNames(const QByteArray &list)
{
    QStringList names;
    for (const QByteArray &line : list.split('\n')) {
        const QByteArray trimmed = line.endsWith('\r') ? line.chopped(1) : line;
        if (!trimmed.isEmpty() && !trimmed.startsWith('\t'))
            names << QString::fromUtf8(trimmed);
    }
    return names;
}

} // namespace

class TestE2eSni : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        std::unique_ptr<Session> session;
        QProcess *app = nullptr;
        TrayItem item;
    };

    // The program started with a list under a StatusNotifierItem host, its item registered.
    static void startRegistered(Run &run, const QByteArray &list = kList,
                                bool autostartEntry = false)
    {
        run.session = std::make_unique<Session>(QStringLiteral(VELLARO_BINARY));
        Session &s = *run.session;
        QVERIFY2(s.start(), qPrintable(s.error()));
        QVERIFY2(s.startStatusNotifierWatcher(), qPrintable(s.error()));
        QVERIFY(writeFile(s.filePath("List.ul1"), list));
        if (autostartEntry) {
            QVERIFY(QDir().mkpath(s.filePath("config/autostart")));
            QVERIFY(writeFile(s.filePath("config/autostart/Vellaro.desktop"),
                              "[Desktop Entry]\nType=Application\nName=Vellaro\nExec=" +
                                  s.appPath().toUtf8() + "\n"));
        }
        run.app = s.startApp();
        QVERIFY2(run.app, qPrintable(s.error()));
        run.item = s.waitForTrayItem(run.app, kTimeoutMs);
        QVERIFY2(run.item.isValid(), qPrintable("no tray item registered\n" + describe(run.app)));
    }

    static bool mainShown(Run &run)
    {
        return !run.session->findWindows(kMainWindowTitle, run.app->processId()).isEmpty();
    }

    // The exported menu; empty (and the test failed) when there is none.
    static std::vector<MenuEntry> menuOf(Run &run)
    {
        std::optional<std::vector<MenuEntry>> menu = run.session->trayMenu(run.item);
        if (!menu && !QTest::currentTestFailed())
            QTest::qFail(qPrintable(run.session->error()), __FILE__, __LINE__);
        return menu.value_or(std::vector<MenuEntry>());
    }

    static bool click(Run &run, const QString &label)
    {
        const int id = idOf(menuOf(run), label);
        return id >= 0 && run.session->clickTrayMenuEntry(run.item, id);
    }

    static XWindow openEditorFromMenu(Run &run)
    {
        if (!click(run, kAdd))
            return 0;
        return run.session->waitForWindowOf(run.app, kEditorTitle, kTimeoutMs);
    }

    static void exitFromMenuAndCheckSaved(Run &run, const QStringList &expectedNames)
    {
        QVERIFY2(click(run, kExit), "no \"Изход\" in the exported menu");
        QVERIFY2(Session::waitForExit(run.app, kTimeoutMs), qPrintable(describe(run.app)));
        QCOMPARE(run.app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.app->exitCode(), 0);
        const QByteArray saved = readFile(run.session->filePath("List.ul1"));
        QCOMPARE(reminderNames(saved), expectedNames);
        QVERIFY(saved.contains("\r\n"));
        QVERIFY(readFile(run.session->filePath("Vellaro.ini"))
                    .contains(("[" + kMainWindowTitle + "]").toUtf8()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral(VELLARO_BINARY)), VELLARO_BINARY);
        for (const char *tool : {"Xvfb", "xdotool", "dbus-daemon"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    }

    void item_registersWithItsTip_activateTogglesTheMainWindow()
    {
        Run run;
        startRegistered(run);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        QCOMPARE(Session::toolTipTitle(s.trayItemProperty(run.item, "ToolTip")), kTip);
        QCOMPARE(s.trayItemProperty(run.item, "Status").toString(), QStringLiteral("Active"));
        // The picture reaches hosts that cannot look up icon names.
        QVERIFY(s.trayItemProperty(run.item, "IconPixmap").isValid());
        QTest::qWait(500);
        QVERIFY2(!mainShown(run), "the main window shows at start");

        for (bool shownAfter : {true, false, true}) {
            const BusReply reply = s.callTrayItem(run.item, "Activate", {0, 0});
            QVERIFY2(reply.ok(), qPrintable(reply.error));
            QVERIFY2(waitUntil([&] { return mainShown(run) == shownAfter; }, kTimeoutMs),
                     shownAfter ? "Activate did not show the main window"
                                : "Activate did not hide the main window");
        }
    }

    void contextMenu_answersAtOnceAndTheProgramGoesOn()
    {
        Run run;
        startRegistered(run);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        const BusReply reply = s.callTrayItem(run.item, "ContextMenu", {10, 10}, kAtOnceMs);
        QVERIFY2(reply.replied,
                 "ContextMenu did not answer: the call waits for the life of a menu");
        // Whatever the program showed for it, it still answers the next request.
        QVERIFY(s.callTrayItem(run.item, "Activate", {0, 0}, kAtOnceMs).ok());
        QVERIFY2(waitUntil([&] { return mainShown(run); }, kTimeoutMs),
                 "Activate after ContextMenu did not show the main window");
    }

    void exportedMenu_listsTheItems_autostartFollowsTheStore_data()
    {
        QTest::addColumn<bool>("entryAtStart");
        QTest::newRow("no autostart entry") << false;
        QTest::newRow("autostart entry") << true;
    }

    void exportedMenu_listsTheItems_autostartFollowsTheStore()
    {
        QFETCH(bool, entryAtStart);
        Run run;
        startRegistered(run, kList, entryAtStart);
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        const QString entry = s.filePath("config/autostart/Vellaro.desktop");
        auto expected = [](bool checked) {
            return QStringList{kShowHide,
                               "-",
                               kAdd,
                               "-",
                               QStringLiteral("За програмата"),
                               kAutostart + (checked ? " [x]" : " [ ]"),
                               "-",
                               kExit};
        };
        QCOMPARE(shown(menuOf(run)), expected(entryAtStart));

        // Each click turns the entry over, and the mark follows it.
        for (bool written : {!entryAtStart, entryAtStart}) {
            QVERIFY(click(run, kAutostart));
            QVERIFY2(waitUntil([&] { return QFile::exists(entry) == written; }, kTimeoutMs),
                     written ? "no autostart entry was written" : "the entry was not removed");
            QVERIFY(waitUntil([&] { return shown(menuOf(run)) == expected(written); }, kTimeoutMs));
        }
        if (QFile::exists(entry))
            QVERIFY(readFile(entry).contains(
                "\nExec=" + QFileInfo(s.appPath()).absoluteFilePath().toUtf8() + "\n"));

        // The first item is the toggle.
        QVERIFY(click(run, kShowHide));
        QVERIFY2(waitUntil([&] { return mainShown(run); }, kTimeoutMs),
                 "\"Показване / Скриване\" did not show the main window");
        QVERIFY(click(run, kShowHide));
        QVERIFY2(waitUntil([&] { return !mainShown(run); }, kTimeoutMs),
                 "\"Показване / Скриване\" did not hide the main window");
    }

    void exitFromMenu_endsTheProgramAndSaves_data()
    {
        QTest::addColumn<bool>("editorOpen");
        QTest::newRow("idle") << false;
        QTest::newRow("editor open") << true;
    }

    void exitFromMenu_endsTheProgramAndSaves()
    {
        QFETCH(bool, editorOpen);
        Run run;
        startRegistered(run);
        if (QTest::currentTestFailed())
            return;
        if (editorOpen)
            QVERIFY2(openEditorFromMenu(run), "the editor did not open from the menu");
        exitFromMenuAndCheckSaved(run, {QStringLiteral("bravo")});
        if (!editorOpen && !QTest::currentTestFailed())
            QCOMPARE(readFile(run.session->filePath("List.ul1")), kListSaved);
    }

    void addWhileTheEditorIsOpen_keepsWhatWasTyped()
    {
        Run run;
        startRegistered(run, QByteArray());
        if (QTest::currentTestFailed())
            return;
        Session &s = *run.session;
        const XWindow editor = openEditorFromMenu(run);
        QVERIFY2(editor, "the editor did not open from the menu");
        QVERIFY(s.focusWindow(editor));
        QVERIFY(s.typeText("Probe"));

        // The second request finds the editor open: it may bring it to the front, nothing else.
        QVERIFY(click(run, kAdd));
        QTest::qWait(1000);
        QCOMPARE(s.findWindows(kEditorTitle, run.app->processId()).size(), 1);
        const XWindow still = s.waitForWindowOf(run.app, kEditorTitle, kTimeoutMs);
        QVERIFY(still);
        QVERIFY(s.focusWindow(still));
        QVERIFY(s.pressKeys({"Return"}));
        QVERIFY2(s.waitForWindowGone(still, kTimeoutMs), "OK did not close the editor");
        exitFromMenuAndCheckSaved(run, {QStringLiteral("Probe")});
    }
};

QTEST_GUILESS_MAIN(TestE2eSni)
#include "tst_e2e_sni.moc"
