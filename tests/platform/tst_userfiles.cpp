#include "platform/userfiles.h"

#include <QTest>

using namespace vellaro;

// Where the list and the settings go, for each combination of what decides it.
class TestUserFiles : public QObject
{
    Q_OBJECT

private slots:
    void chooseUserFilePaths_data()
    {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("holdsList");
        QTest::addColumn<QString>("dataHome");
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("settings");

        const QString own = "/home/ив/Vellaro Програма";
        const QString xdgList = "/x/data/vellaro/List.ul1";
        const QString xdgIni = "/x/config/vellaro/Vellaro.ini";
        QTest::newRow("ownFolder_besideTheExecutable")
            << own << true << false << "/x/data"
            << "/x/config" << own + "/List.ul1" << own + "/Vellaro.ini";
        QTest::newRow("readOnlyFolderHoldingAList_staysBeside")
            << own << false << true << "/x/data"
            << "/x/config" << own + "/List.ul1" << own + "/Vellaro.ini";
        QTest::newRow("installed_xdgFolders") << "/opt/Vellaro" << false << false << "/x/data"
                                              << "/x/config/" << xdgList << xdgIni;
        QTest::newRow("installed_unsetVariables_defaults")
            << "/opt/Vellaro" << false << false << ""
            << ""
            << "/home/ив/.local/share/vellaro/List.ul1"
            << "/home/ив/.config/vellaro/Vellaro.ini";
        QTest::newRow("installed_relativeVariablesIgnored")
            << "/opt/Vellaro" << false << false << "data"
            << "./config"
            << "/home/ив/.local/share/vellaro/List.ul1"
            << "/home/ив/.config/vellaro/Vellaro.ini";
        // Run by the superuser, who may write anywhere, or with a list some earlier run left
        // there: a system folder is never the user's.
        for (const char *dir : {"/usr/bin", "/usr/local/bin", "/opt/Vellaro", "/bin", "/sbin",
                                "/lib64/vellaro", "/etc/vellaro", "/var/lib/vellaro", "/usr"})
            QTest::addRow("systemFolder_%s", dir) << dir << true << true << "/x/data"
                                                  << "/x/config" << xdgList << xdgIni;
    }

    void chooseUserFilePaths()
    {
        QFETCH(QString, exe);
        QFETCH(bool, writable);
        QFETCH(bool, holdsList);
        QFETCH(QString, dataHome);
        QFETCH(QString, configHome);
        const UserFilePaths paths = vellaro::chooseUserFilePaths(
            {exe, writable, holdsList, "/home/ив", dataHome, configHome});
        QTEST(paths.listPath, "list");
        QTEST(paths.settingsPath, "settings");
    }
};

QTEST_GUILESS_MAIN(TestUserFiles)
#include "tst_userfiles.moc"
