#include "core/menuusage.h"

#include <QTest>

using namespace vellaro;

Q_DECLARE_METATYPE(UsageRecord)
Q_DECLARE_METATYPE(RgbColour)

namespace {

constexpr int kFile = 0;
constexpr int kOptions = 1;
constexpr int kHelp = 2;

// File holds Add, Delete, Edit, a separator and Exit.
int fileItem(const QString &action)
{
    const MenuBarDefinition bar = mainMenuBarDefinition();
    const auto &items = bar.menus[kFile].items;
    for (int i = 0; i < int(items.size()); ++i) {
        if (items[i].action == action)
            return i;
    }
    return -1;
}

} // namespace

class TestMenuUsage : public QObject
{
    Q_OBJECT

private slots:
    void inUse_followsTheSchedule_data()
    {
        QTest::addColumn<UsageRecord>("usage");
        QTest::addColumn<int>("session");
        QTest::addColumn<bool>("inUse");
        QTest::newRow("alwaysInUse") << UsageRecord{-1, 0} << 1000 << true;
        QTest::newRow("unusedTwoRunsAgo") << UsageRecord{0, 11} << 13 << true;
        QTest::newRow("unusedThreeRunsAgo") << UsageRecord{0, 10} << 13 << false;
        QTest::newRow("twiceSixRunsAgo") << UsageRecord{2, 7} << 13 << false;
        QTest::newRow("fourteenUsesStepThirtyOne") << UsageRecord{14, 0} << 30 << true;
        QTest::newRow("pastTheLastStepTooOld") << UsageRecord{500, 0} << 31 << false;
    }

    void inUse_followsTheSchedule()
    {
        QFETCH(UsageRecord, usage);
        QFETCH(int, session);
        QFETCH(bool, inUse);
        QCOMPARE(isInUse(usage, session), inUse);
    }

    void fileMenu_afterRunningACommand_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<QList<bool>>("shown");
        QTest::addColumn<bool>("expandRow");
        // At a fresh start nothing of File is in use: hiding would empty it, so all shows.
        QTest::newRow("freshStart") << QString() << QList<bool>{1, 1, 1, 1, 1} << false;
        QTest::newRow("delete") << "deleteAction" << QList<bool>{0, 1, 0, 0, 0} << true;
        QTest::newRow("separatorWithEntryAbove")
            << "editAction" << QList<bool>{0, 0, 1, 1, 0} << true;
        QTest::newRow("separatorWithEntryBelow")
            << "exitAction" << QList<bool>{0, 0, 0, 1, 1} << true;
    }

    void fileMenu_afterRunningACommand()
    {
        QFETCH(QString, run);
        QFETCH(QList<bool>, shown);
        QFETCH(bool, expandRow);
        MenuUsage usage(mainMenuBarDefinition());
        QCOMPARE(usage.runCount(), 13);
        if (!run.isEmpty()) {
            usage.recordExecution(kFile, fileItem(run));
            QCOMPARE(usage.itemUsage(kFile, fileItem(run)), (UsageRecord{1, 13}));
            QCOMPARE(usage.menuUsage(kFile), (UsageRecord{1, 13}));
        }
        const CollapsedView view = usage.collapsedView(kFile);
        QCOMPARE(QList<bool>(view.shown.begin(), view.shown.end()), shown);
        QCOMPARE(view.expandRow, expandRow);
        // Whatever File did, Help stays unused and Options in use.
        QVERIFY(!usage.isItemInUse(kHelp, 0));
        QVERIFY(usage.isItemInUse(kOptions, 0));
    }

    void restart_startsFromTheStoredValues()
    {
        const MenuBarDefinition stored = mainMenuBarDefinition();
        MenuUsage run(stored);
        run.recordExecution(kFile, 0);
        run.recordExecution(kHelp, 0);
        const MenuUsage next(stored);
        QCOMPARE(next.runCount(), 13);
        QCOMPARE(next.itemUsage(kFile, 0), (UsageRecord{0, 0}));
        QCOMPARE(next.itemUsage(kOptions, 0), (UsageRecord{0, 12}));
        QVERIFY(!next.collapsedView(kFile).expandRow);
    }

    void unusedItemColour_data()
    {
        QTest::addColumn<RgbColour>("face");
        QTest::addColumn<RgbColour>("unused");
        QTest::newRow("beigeButtonFace") << RgbColour{236, 233, 216} << RgbColour{247, 246, 238};
        QTest::newRow("lightGreyToWhite") << RgbColour{239, 239, 239} << RgbColour{255, 255, 255};
        QTest::newRow("saturatedDarkens") << RgbColour{255, 0, 0} << RgbColour{224, 0, 0};
    }

    void unusedItemColour()
    {
        QFETCH(RgbColour, face);
        QFETCH(RgbColour, unused);
        const RgbColour got = vellaro::unusedItemColour(face);
        QVERIFY2(got == unused,
                 qPrintable(QString("%1,%2,%3").arg(got.red).arg(got.green).arg(got.blue)));
    }
};

QTEST_GUILESS_MAIN(TestMenuUsage)
#include "tst_menuusage.moc"
