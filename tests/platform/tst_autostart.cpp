#include "common/filesizelimit.h"
#include "core/error.h"
#include "platform/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace vellaro;

class TestAutostart : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    QByteArray m_savedConfigHome;

    QString entryPath() const { return m_config->filePath("autostart/Vellaro.desktop"); }

    static QString execLine(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("Exec="))
                return QString::fromUtf8(line.mid(5));
        return {};
    }

private slots:
    void init()
    {
        m_savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
    }

    void cleanup()
    {
        if (m_savedConfigHome.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_savedConfigHome);
    }

    void absentFolder_opensEmptyAndIsCreatedByTheWrite()
    {
        XdgAutostartStore store("Vellaro");
        QCOMPARE(store.entryPath(), entryPath());
        QVERIFY(store.isOpen());
        QVERIFY(!store.valueExists());
        store.writeValue("/opt/vellaro/vellaro");
        QVERIFY(store.valueExists());
        QFile f(entryPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Vellaro\n"
                                         "Exec=/opt/vellaro/vellaro\n"
                                         "TryExec=/opt/vellaro/vellaro\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n"));
        QVERIFY(store.deleteValue());
        QVERIFY(!store.valueExists());
        QVERIFY(!store.deleteValue());
    }

    void presentEntry_existsWhateverItHolds()
    {
        QVERIFY(QDir().mkpath(m_config->filePath("autostart")));
        QFile f(entryPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        XdgAutostartStore store("Vellaro");
        QVERIFY(store.valueExists());
        QVERIFY(!XdgAutostartStore("Other").valueExists());
    }

    void folderThatIsNoFolder_doesNotOpen()
    {
        QFile blocker(m_config->filePath("autostart"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        XdgAutostartStore store("Vellaro");
        QVERIFY(!store.isOpen());
        QVERIFY(!store.valueExists());
    }

    void unwritableFolder_doesNotOpen()
    {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        const QString folder = m_config->filePath("autostart");
        QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        XdgAutostartStore store("Vellaro");
        QVERIFY(!store.isOpen());
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void refusedWrite_throwsTheFailureText()
    {
        // Nothing can be created under /proc, not even by the superuser.
        XdgAutostartStore store("Vellaro", "/proc/self/vellaro-autostart");
        try {
            store.writeValue("/opt/vellaro/vellaro");
            QFAIL("the write was not refused");
        } catch (const Error &e) {
            QCOMPARE(e.message(), QString("Failed to set data for 'Vellaro'"));
        }
    }

    // A full disk (here a file-size limit) must not leave a cut-off entry that the menu then
    // shows as written: the write is refused and no entry is there.
    void fileSizeLimit_writeRefused_noPartialEntry()
    {
        XdgAutostartStore store("Vellaro");
        QVERIFY(QDir().mkpath(store.folder()));
        FileSizeLimit limit(50);
        QVERIFY(limit.isSet());
        QString message;
        try {
            store.writeValue("/opt/vellaro/vellaro");
        } catch (const Error &e) {
            message = e.message();
        }
        limit.lift();
        QCOMPARE(message, QString("Failed to set data for 'Vellaro'"));
        QVERIFY(!store.valueExists());
        QCOMPARE(QDir(store.folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void folder_followsXdgConfigHome()
    {
        qputenv("XDG_CONFIG_HOME", "relative/config");
        QCOMPARE(XdgAutostartStore("Vellaro").folder(), QDir::homePath() + "/.config/autostart");
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(XdgAutostartStore("Vellaro").folder(), QDir::homePath() + "/.config/autostart");
    }

    void execValue_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain") << "/opt/vellaro/vellaro"
                               << "/opt/vellaro/vellaro";
        QTest::newRow("Cyrillic needs no quotes") << "/opt/Веларо/vellaro"
                                                  << "/opt/Веларо/vellaro";
        QTest::newRow("space") << "/opt/My Apps/vellaro"
                               << "\"/opt/My Apps/vellaro\"";
        QTest::newRow("double quote") << "/a\"b/v"
                                      << "\"/a\\\\\"b/v\"";
        QTest::newRow("single quote") << "/a'b/v"
                                      << "\"/a'b/v\"";
        QTest::newRow("backslash") << "/a\\b/v"
                                   << "\"/a\\\\\\\\b/v\"";
        QTest::newRow("dollar and backtick") << "/a$b`c/v"
                                             << "\"/a\\\\$b\\\\`c/v\"";
        QTest::newRow("percent, unquoted") << "/a%b/v"
                                           << "/a%%b/v";
        QTest::newRow("percent, quoted") << "/a %f/v"
                                         << "\"/a %%f/v\"";
        QTest::newRow("tab and newline") << "/a\tb\nc/v"
                                         << "\"/a\\tb\\nc/v\"";
    }

    void execValue()
    {
        QFETCH(QString, path);
        QFETCH(QString, exec);
        QCOMPARE(XdgAutostartStore::execValue(path), exec);
    }

    // GLib's launcher reads the entry as a session would and must run exactly the written file
    // (it passes over an entry whose TryExec names no program, so that path is read right too).
    void writtenEntry_startsTheRightFileThroughADesktopLauncher()
    {
        const QString gio = QStandardPaths::findExecutable("gio");
        if (gio.isEmpty())
            QSKIP("gio is not installed");
        // GLib checks the program before expanding field codes, so '%' stays out of this path.
        const QString folder = m_config->filePath("My Apps \"q\" 'a' $x `y` back\\slash (b) & ; #");
        QVERIFY(QDir().mkpath(folder));
        const QString program = folder + "/vellaro run";
        const QString marker = m_config->filePath("ran");
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\necho \"$#\" > '%1'\n").arg(marker).toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        XdgAutostartStore("Vellaro").writeValue(program);
        QProcess launch;
        launch.start(gio, {"launch", entryPath()});
        QVERIFY(launch.waitForFinished(10000));
        QCOMPARE(launch.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(marker).size() > 0, 10000);
        QFile ran(marker);
        QVERIFY(ran.open(QIODevice::ReadOnly));
        QCOMPARE(ran.readAll(), QByteArray("0\n")); // no argument crept in
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
