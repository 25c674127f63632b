#include "autostart.h"
#include "error.h"
#include "faketrayshell.h"
#include "guard.h"
#include "mainwindow.h"
#include "notifyicon.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vellaro;

namespace {

class FakeClock final : public Clock
{
public:
    QDateTime now() const override { return {QDate(2026, 12, 9), QTime(9, 5, 7)}; }
};

// The start-with-session store as the handlers see it.
class FakeAutostart final : public AutostartStore
{
public:
    bool isOpen() const override { return open; }
    bool valueExists() const override { return open && exists; }
    bool deleteValue() override
    {
        log << "delete";
        exists = false;
        return true;
    }
    void writeValue(const QString &path) override
    {
        log << "write " + path;
        if (refuseWrite)
            throw Error("Failed to set data for 'Vellaro'");
        exists = true;
    }

    bool open = true;
    bool exists = false;
    bool refuseWrite = false;
    QStringList log;
};

} // namespace

class TestTrayMenu : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProfileFile> m_ini;
    FakeClock m_clock;
    LocaleFormats m_formats =
        LocaleFormats::fromLocale(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
    QStringList m_shellLog;
    std::unique_ptr<FakeTrayShell> m_shell;
    FakeAutostart m_autostart;
    std::unique_ptr<FormContext> m_context;
    QStringList m_errors;

    std::unique_ptr<TForm1> createWindow(bool withList = true)
    {
        if (withList) {
            QFile f(m_context->listPath);
            f.open(QIODevice::WriteOnly);
        }
        auto w = std::make_unique<TForm1>(*m_context);
        w->DoCreate();
        return w;
    }

    static TPopupMenu *trayPopup(TForm1 *w) { return w->findChild<TPopupMenu *>("TrayPopup"); }
    static TNotifyIcon *notifyIcon(TForm1 *w) { return w->findChild<TNotifyIcon *>("NotifyIcon1"); }
    static QAction *item(TForm1 *w, const char *name)
    {
        return trayPopup(w)->findChild<QAction *>(name);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_ini = std::make_unique<ProfileFile>(m_dir->filePath("Vellaro.ini"));
        m_shellLog.clear();
        m_shell = std::make_unique<FakeTrayShell>(&m_shellLog);
        m_autostart = FakeAutostart();
        m_context = std::make_unique<FormContext>(
            FormContext{m_dir->filePath("List.ul1"), m_ini.get(), "vellaro", &m_clock, &m_formats});
        m_context->trayShell = m_shell.get();
        m_context->autostart = &m_autostart;
        m_errors.clear();
        setErrorBoxHandler([this](const QString &text) { m_errors << text; });
    }

    void cleanup() { setErrorBoxHandler({}); }

    void trayMenu_itemsCaptionsAndFlags()
    {
        auto w = createWindow();
        TPopupMenu *menu = trayPopup(w.get());
        QVERIFY(menu);
        QVERIFY(menu->AutoPopup());
        QStringList rows;
        for (QAction *a : menu->actions())
            rows << a->objectName() + "|" + (a->isSeparator() ? "-" : a->text());
        QCOMPARE(rows,
                 (QStringList{"ShowHide|Показване / Скриване", "N3|-",
                              "New|Добавяне на нов запис ...", "N9|-", "AboutProg|За програмата",
                              "Autostart|Стартиране с ОС", "N6|-", "Exit|Изход"}));
        QCOMPARE(menu->DefaultItem(), item(w.get(), "ShowHide"));
        for (QAction *a : menu->actions())
            QVERIFY(a->icon().isNull());
    }

    void notifyIcon_storedValuesAndStartHidden()
    {
        auto w = createWindow();
        TNotifyIcon *icon = notifyIcon(w.get());
        QVERIFY(icon);
        QCOMPARE(icon->PopupMenu(), trayPopup(w.get()));
        QVERIFY(icon->IconList());
        QCOMPARE(icon->IconList()->Count(), 8);
        QCOMPARE(icon->CycleInterval(), 400u);
        QVERIFY(!icon->CycleIcons());
        QVERIFY(icon->StartMinimized() && icon->MinimizeToTray() && !icon->LeftPopup());

        // The icon is in the area, with its tip and picture, before anything else shows.
        QVERIFY(m_shell->shown);
        QCOMPARE(m_shell->current.szTip, QString("Vellaro Версия: 2.0"));
        QVERIFY(!m_shell->current.hIcon.isNull());
        w->showAtStart();
        QVERIFY(!w->isVisible());
    }

    void noArea_theWindowShowsAtStartAndWhenTheAreaGoes()
    {
        m_shell->areaAvailable = false;
        auto w = createWindow();
        w->showAtStart();
        QVERIFY(w->isVisible());

        m_shell->areaAvailable = true;
        auto hidden = createWindow();
        hidden->showAtStart();
        QVERIFY(!hidden->isVisible());
        m_shell->setAreaAvailable(false);
        QVERIFY(hidden->isVisible());
    }

    void iconClick_togglesAndDoubleClickLeavesTheWindowAsItWas()
    {
        auto w = createWindow();
        m_shellLog.clear();
        m_shell->send(WM_LBUTTONDOWN);
        m_shell->send(WM_LBUTTONUP);
        QVERIFY(w->isVisible());
        QCOMPARE(m_shellLog, QStringList{"foreground TForm1"});
        m_shell->send(WM_LBUTTONDOWN);
        m_shell->send(WM_LBUTTONUP);
        QVERIFY(!w->isVisible());

        for (bool visible : {false, true}) {
            for (quint32 m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
                m_shell->send(m);
            QCOMPARE(w->isVisible(), visible);
            if (!visible)
                w->show();
        }
    }

    void showHideItem_togglesAndBringsTheWindowForward()
    {
        auto w = createWindow();
        m_shellLog.clear();
        item(w.get(), "ShowHide")->trigger();
        QVERIFY(w->isVisible());
        QCOMPARE(m_shellLog, QStringList{"foreground TForm1"});
        item(w.get(), "ShowHide")->trigger();
        QVERIFY(!w->isVisible());
        QCOMPARE(m_shellLog.size(), 1);
    }

    void items_runTheWindowsCommands_data()
    {
        QTest::addColumn<QByteArray>("item");
        QTest::addColumn<QByteArray>("action");
        QTest::newRow("add") << QByteArray("New") << QByteArray("Action1");
        QTest::newRow("about") << QByteArray("AboutProg") << QByteArray("aAbout");
        QTest::newRow("exit") << QByteArray("Exit") << QByteArray("Action3");
    }

    void items_runTheWindowsCommands()
    {
        QFETCH(QByteArray, item);
        QFETCH(QByteArray, action);
        auto w = createWindow();
        auto *command = w->findChild<QAction *>(QString::fromLatin1(action));
        QVERIFY(command);
        // The command is only watched here, not run: it would open dialogs or end the test.
        QObject::disconnect(command, &QAction::triggered, w.get(), nullptr);
        QSignalSpy triggered(command, &QAction::triggered);
        this->item(w.get(), item.constData())->trigger();
        QCOMPARE(triggered.size(), 1);
    }

    void autostartRead_data()
    {
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("withList");
        QTest::addColumn<bool>("checked");
        QTest::newRow("value there") << true << true << true << true;
        QTest::newRow("value absent") << true << false << true << false;
        QTest::newRow("store does not open: design mark") << false << false << true << true;
        QTest::newRow("list failed first: design mark") << true << false << false << true;
    }

    void autostartRead()
    {
        QFETCH(bool, open);
        QFETCH(bool, exists);
        QFETCH(bool, withList);
        QFETCH(bool, checked);
        m_autostart.open = open;
        m_autostart.exists = exists;
        auto w = createWindow(withList);
        QCOMPARE(item(w.get(), "Autostart")->isChecked(), checked);
        QCOMPARE(m_errors.size(), withList ? 0 : 1);
    }

    void autostartClick_followsTheStoreNotTheMark()
    {
        auto w = createWindow(false); // first run: mark checked, value absent
        QAction *autostart = item(w.get(), "Autostart");
        QVERIFY(autostart->isChecked());
        autostart->trigger();
        QVERIFY(!autostart->isChecked());
        QCOMPARE(m_autostart.log, QStringList{"write " + QCoreApplication::applicationFilePath()});
        autostart->trigger();
        QVERIFY(autostart->isChecked());
        QCOMPARE(m_autostart.log.last(), QString("delete"));
        QVERIFY(!m_autostart.exists);
    }

    void autostartClick_storeThatDoesNotOpenOnlyFlipsTheMark()
    {
        m_autostart.open = false;
        auto w = createWindow();
        QAction *autostart = item(w.get(), "Autostart");
        autostart->trigger();
        autostart->trigger();
        autostart->trigger();
        QVERIFY(!autostart->isChecked());
        QVERIFY(m_autostart.log.isEmpty());
        QVERIFY(m_errors.isEmpty());
    }

    void autostartClick_refusedWriteIsReportedAndTheMarkStaysFlipped()
    {
        m_autostart.refuseWrite = true;
        auto w = createWindow();
        QAction *autostart = item(w.get(), "Autostart");
        QVERIFY(!autostart->isChecked());
        autostart->trigger();
        QVERIFY(autostart->isChecked());
        // The closing quote's code is below that of the full stop: no full stop is added.
        QCOMPARE(m_errors, QStringList{"Failed to set data for 'Vellaro'"});
    }
};

QTEST_MAIN(TestTrayMenu)
#include "tst_traymenu.moc"
