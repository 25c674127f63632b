#include "core/error.h"
#include "core/opacity.h"

#include <QTest>

using namespace vellaro;

class TestOpacity : public QObject
{
    Q_OBJECT

private slots:
    void percentText_givesOpacity_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("opacity"); // -1: not a number
        QTest::newRow("hundredLeavesFaint") << "100" << 55;
        QTest::newRow("fifty") << "50" << 155;
        QTest::newRow("zeroIsOpaque") << "0" << 255;
        QTest::newRow("128WrapsToOpaque") << "128" << 255;
        QTest::newRow("150Wraps") << "150" << 211;
        QTest::newRow("minusTenWraps") << "-10" << 19;
        QTest::newRow("fractionCutTowardZero") << "12,7" << 231;
        QTest::newRow("minusHalfIsZero") << " -0,5 " << 255;
        QTest::newRow("exponent") << "5E1" << 155;
        // 2^70: far beyond any integer type, still wraps like the small ones.
        QTest::newRow("huge") << "1180591620717411303424" << 255;
        QTest::newRow("initialText") << QString::fromUtf16(kOpacityPromptText) << -1;
        QTest::newRow("pointInACommaLocale") << "12.7" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("trailingText") << "50%" << -1;
        QTest::newRow("tooLarge") << "1e400" << -1;
    }

    void percentText_givesOpacity()
    {
        QFETCH(QString, text);
        QFETCH(int, opacity);
        try {
            QCOMPARE(opacityFromPercentText(text, u','), opacity);
        } catch (const Error &e) {
            QCOMPARE(opacity, -1);
            QCOMPARE(e.message(), QString("'%1' is not a valid floating point value").arg(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestOpacity)
#include "tst_opacity.moc"
