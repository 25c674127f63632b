#include "core/error.h"
#include "core/profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace vellaro;

Q_DECLARE_METATYPE(std::optional<int>)

namespace {

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

private slots:
    void parseProfileInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<int>>("value");
        QTest::newRow("decimal") << "190" << std::optional<int>(190);
        QTest::newRow("negative") << "-15" << std::optional<int>(-15);
        QTest::newRow("plus") << "+7" << std::optional<int>(7);
        QTest::newRow("leadingSpaces") << "   42" << std::optional<int>(42);
        QTest::newRow("spacesThenSign") << "  -3" << std::optional<int>(-3);
        QTest::newRow("hex0x") << "0x200" << std::optional<int>(512);
        QTest::newRow("hex0X") << "0X1f" << std::optional<int>(31);
        QTest::newRow("hexDollar") << "$FF" << std::optional<int>(255);
        QTest::newRow("hexX") << "x10" << std::optional<int>(16);
        QTest::newRow("hexAfterSign") << " -$10" << std::optional<int>(-16);
        QTest::newRow("hexFullWidthWraps") << "$FFFFFFFF" << std::optional<int>(-1);
        QTest::newRow("hexTooWide") << "$100000000" << std::optional<int>();
        QTest::newRow("bare0x") << "0x" << std::optional<int>();
        QTest::newRow("bareDollar") << "$" << std::optional<int>();
        QTest::newRow("word") << "abc" << std::optional<int>();
        QTest::newRow("trailingText") << "12px" << std::optional<int>();
        QTest::newRow("trailingSpace") << "12 " << std::optional<int>();
        QTest::newRow("empty") << "" << std::optional<int>();
        QTest::newRow("signOnly") << "-" << std::optional<int>();
        QTest::newRow("maxInt") << "2147483647" << std::optional<int>(2147483647);
        QTest::newRow("minInt") << "-2147483648" << std::optional<int>(-2147483647 - 1);
        QTest::newRow("overflow") << "2147483648" << std::optional<int>();
        // Below the smallest int: not a number, never wrapped into range.
        QTest::newRow("underflow") << "-2147483649" << std::optional<int>();
        QTest::newRow("underflowBy2To32") << "-4294967296" << std::optional<int>();
        QTest::newRow("hugeNumber") << "99999999999999999999999" << std::optional<int>();
        QTest::newRow("onlyFirst2047Count") << QString(2046, u'0') + "15" << std::optional<int>(1);
        QTest::newRow("fullWidthDigitsAreNotDigits") << "\uFF11" << std::optional<int>();
    }

    void parseProfileInt()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<int>, value);
        QCOMPARE(vellaro::parseProfileInt(text), value);
    }

    void readInteger_missingPiecesGiveDefault()
    {
        QTemporaryDir dir;
        ProfileFile ini(dir.filePath("Vellaro.ini"));
        QCOMPARE(ini.readInteger("Section", "Top", 190), 190);
        writeAll(ini.path(), "[Other]\nTop=5\n[Section]\nLeft=abc\n");
        QCOMPARE(ini.readInteger("Section", "Top", 190), 190);
        QCOMPARE(ini.readInteger("Section", "Left", 224), 224);
        QCOMPARE(ini.readInteger("Other", "Top", 190), 5);
    }

    void sectionsAndKeys_literalAndAsciiCaseInsensitive()
    {
        QTemporaryDir dir;
        ProfileFile ini(dir.filePath("Vellaro.ini"));
        ini.writeInteger("Vellaro - Версия 2.0", "Top", 190);
        ini.writeInteger("vellaro", "AlphaBlend", 155);

        QFile f(ini.path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(text.contains("[Vellaro - Версия 2.0]\nTop=190\n"), text.constData());
        QVERIFY2(text.contains("[vellaro]\nAlphaBlend=155\n"), text.constData());
        QVERIFY(!text.startsWith("\xEF\xBB\xBF"));

        QCOMPARE(ini.readInteger("VELLARO - Версия 2.0", "TOP", 0), 190);
        QCOMPARE(ini.readInteger("Vellaro", "alphablend", 0), 155);
    }

    void write_keepsOtherSectionsAndComments()
    {
        QTemporaryDir dir;
        ProfileFile ini(dir.filePath("Vellaro.ini"));
        writeAll(ini.path(), "; kept by hand\n[Mine]\nKey=text\n");
        ini.writeInteger("Mine", "Number", -4);
        ini.writeInteger("За програмата", "Left", 10);
        QCOMPARE(ini.readString("Mine", "Key"), std::optional<QString>("text"));
        QCOMPARE(ini.readInteger("Mine", "Number", 0), -4);
        QFile f(ini.path());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("; kept by hand"));
    }

    void write_unwritable_reportsPath()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("Vellaro.ini"));
        ProfileFile ini(dir.filePath("Vellaro.ini"));
        try {
            ini.writeInteger("S", "Top", 1);
            QFAIL("writing into a directory succeeded");
        } catch (const Error &e) {
            QCOMPARE(e.message(), "Unable to write to " + ini.path());
        }
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
