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
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("holdsList");
        QTest::addColumn<QString>("dataHome");
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("settings");

        const QString exe = "/opt/Vellaro Програма";
        QTest::newRow("ownFolder_besideTheExecutable")
            << true << false << "/x/data"
            << "/x/config" << exe + "/List.ul1" << exe + "/Vellaro.ini";
        QTest::newRow("readOnlyFolderHoldingAList_staysBeside")
            << false << true << "/x/data"
            << "/x/config" << exe + "/List.ul1" << exe + "/Vellaro.ini";
        QTest::newRow("installed_xdgFolders") << false << false << "/x/data"
                                              << "/x/config/"
                                              << "/x/data/vellaro/List.ul1"
                                              << "/x/config/vellaro/Vellaro.ini";
        QTest::newRow("installed_unsetVariables_defaults")
            << false << false << ""
            << ""
            << "/home/ив/.local/share/vellaro/List.ul1"
            << "/home/ив/.config/vellaro/Vellaro.ini";
        QTest::newRow("installed_relativeVariablesIgnored")
            << false << false << "data"
            << "./config"
            << "/home/ив/.local/share/vellaro/List.ul1"
            << "/home/ив/.config/vellaro/Vellaro.ini";
    }

    void chooseUserFilePaths()
    {
        QFETCH(bool, writable);
        QFETCH(bool, holdsList);
        QFETCH(QString, dataHome);
        QFETCH(QString, configHome);
        const UserFilePaths paths = vellaro::chooseUserFilePaths(
            {"/opt/Vellaro Програма", writable, holdsList, "/home/ив", dataHome, configHome});
        QTEST(paths.listPath, "list");
        QTEST(paths.settingsPath, "settings");
    }
};

QTEST_GUILESS_MAIN(TestUserFiles)
#include "tst_userfiles.moc"
