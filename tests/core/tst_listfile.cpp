#include "common/filesizelimit.h"
#include "core/error.h"
#include "core/listfile.h"
#include "core/profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace vellaro;

namespace {

// What each flush of a regular file in this process saw: the file's name at that moment and
// its size. A save shows here whether it flushed its temporary file, whole, before the rename.
struct Flush
{
    QString path;
    qint64 size;
};
QList<Flush> g_flushes;

int recordFlush(int fd, long call)
{
    struct stat st
    {};
    char name[4096];
    const ssize_t length = ::readlink(
        QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), name, sizeof name);
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && length > 0)
        g_flushes.append({QString::fromLocal8Bit(name, length), qint64(st.st_size)});
    return int(::syscall(call, fd));
}

} // namespace

// Taking the place of the C library's, for every caller in this program.
extern "C" int fsync(int fd)
{
    return recordFlush(fd, SYS_fsync);
}
extern "C" int fdatasync(int fd)
{
    return recordFlush(fd, SYS_fdatasync);
}

Q_DECLARE_METATYPE(vellaro::ReminderEntries)

namespace {

ReminderEntry entry(const QString &name, const QStringList &details = {})
{
    return ReminderEntry{name, details};
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Appends lines of every length up to past two machine words, each ended by CR LF, a lone CR, a
// lone LF, detail lines among them, and the entries the rules read from them one byte at a time.
// (In this order, so no lone CR is followed by a lone LF, which together are one break.)
void appendEveryLineBreak(quint32 seed, QByteArray &text, ReminderEntries &expected)
{
    const QByteArray breaks[] = {"\n", "\r", "\r\n"};
    const QByteArray letters[] = {"a", "b", " ", "Я", "ж"};
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int length = 0; length <= 40; ++length) {
        for (const QByteArray &lineBreak : breaks) {
            const bool detail = !expected.isEmpty() && length > 0 && next() % 2;
            QByteArray line = detail ? "\t" : "";
            while (line.size() < length)
                line += letters[next() % std::size(letters)];
            text += line + lineBreak;
            if (!detail)
                expected.append(entry(QString::fromUtf8(line)));
            else
                expected.last().details.append(QString::fromUtf8(line.mid(1)).trimmed());
        }
    }
}

} // namespace

class TestListFile : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ReminderEntries>("expected");

        const ReminderEntries typical{entry("Zahar", {"9.12.26 г.", "9:05:07", "buy sugar"})};
        QTest::newRow("crlf") << QByteArray("Zahar\r\n\t9.12.26 г.\r\n\t9:05:07\r\n\tbuy sugar\r\n")
                              << typical;
        QTest::newRow("bareLineFeeds_readLikeCrLf")
            << QByteArray("Zahar\n\t9.12.26 г.\n\t9:05:07\n\tbuy sugar\n") << typical;
        QTest::newRow("bareCarriageReturns_readLikeCrLf")
            << QByteArray("Zahar\r\t9.12.26 г.\r\t9:05:07\r\tbuy sugar") << typical;
        QTest::newRow("lfCr_isTwoBreaksWithEmptyEntryBetween")
            << QByteArray("a\n\rb\r\n") << ReminderEntries{entry("a"), entry(""), entry("b")};
        QTest::newRow("lastLineWithoutBreak_counts")
            << QByteArray("a\r\n\tx") << ReminderEntries{entry("a", {"x"})};
        QTest::newRow("breakAtEnd_addsNoEntry")
            << QByteArray("a\r\n") << ReminderEntries{entry("a")};
        QTest::newRow("emptyLine_isEntryWithEmptyName")
            << QByteArray("\r\n\td\r\n") << ReminderEntries{entry("", {"d"})};
        QTest::newRow("emptyFile") << QByteArray() << ReminderEntries{};
        QTest::newRow("textEndsAtNul")
            << QByteArray("a\r\n\tx\r\n\0b\r\n", 12) << ReminderEntries{entry("a", {"x"})};
        QTest::newRow("detailsTrimmed_namesKeepSpaces")
            << QByteArray("  name \r\n\t  d e \x01\r\n")
            << ReminderEntries{entry("  name ", {"d e"})};
        QTest::newRow("detailBeforeFirstEntry_dropped")
            << QByteArray("\torphan\r\nx\r\n") << ReminderEntries{entry("x")};
        QTest::newRow("fiveDetails_allKept")
            << QByteArray("n\r\n\t1\r\n\t2\r\n\t3\r\n\t4\r\n\t5\r\n")
            << ReminderEntries{entry("n", {"1", "2", "3", "4", "5"})};
        QTest::newRow("utf8Bom_notPartOfName")
            << QByteArray("\xEF\xBB\xBFn\r\n") << ReminderEntries{entry("n")};
        QTest::newRow("markFurtherIn_isACharacterOfTheText")
            << QByteArray("a\r\n\xEF\xBB\xBF"
                          "b\r\n\t\xEF\xBB\xBF"
                          "d\r\n")
            << ReminderEntries{entry("a"),
                               entry(QChar(0xFEFF) + QString("b"), {QChar(0xFEFF) + QString("d")})};
        QTest::newRow("fourByteUtf8")
            << QByteArray("\xF0\x9F\x98\x80 x\r\n")
            << ReminderEntries{entry(QString::fromUtf8("\xF0\x9F\x98\x80 x"))};
        QTest::newRow("overlongIsNotUtf8")
            << QByteArray("\xC0\xAF\r\n") << ReminderEntries{entry("АЇ")};
        QTest::newRow("encodedSurrogateIsNotUtf8")
            << QByteArray("\xED\xA0\x80\r\n") << ReminderEntries{entry("н\u00A0Ђ")};
        QTest::newRow("truncatedSequenceIsNotUtf8")
            << QByteArray("ok\r\n\xD0\r\n") << ReminderEntries{entry("ok"), entry("Р")};
        // "Среща" in Windows-1251, as an 8-bit program of a Bulgarian desktop wrote it.
        QTest::newRow("windows1251_readWithoutLoss")
            << QByteArray("\xD1\xF0\xE5\xF9\xE0\r\n\t\xE1\xE5\xEB\xE5\xE6\xEA\xE0\r\n")
            << ReminderEntries{entry("Среща", {"бележка"})};
        // One line pasted from an old file into a UTF-8 list: only that line is 8-bit.
        QTest::newRow("oneWindows1251Line_inUtf8List_onlyThatLineIs8Bit")
            << QByteArray("Обяд\r\n\t1.1.27 г.\r\n\t\xE1\xE5\xEB\xE5\xE6\xEA\xE0\r\nЧай\r\n")
            << ReminderEntries{entry("Обяд", {"1.1.27 г.", "бележка"}), entry("Чай")};
    }

    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(ReminderEntries, expected);
        QCOMPARE(listfile::parse(bytes), expected);
    }

    void parse_everyLineBreakAtEveryPlace_endsTheLineThere()
    {
        QByteArray text;
        ReminderEntries expected;
        appendEveryLineBreak(5, text, expected);
        QCOMPARE(listfile::parse(text), expected);
        QCOMPARE(listfile::parse(text + "last"), expected + ReminderEntries{entry("last")});
    }

    void load_longFile_readsEveryLine_data()
    {
        // A file of megabytes with every kind of line break and lines of every length.
        QByteArray text;
        ReminderEntries expected;
        for (quint32 seed = 1; text.size() < 3 << 20; ++seed)
            appendEveryLineBreak(seed, text, expected);
        const QByteArray longName(700 * 1024, 'n');

        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<ReminderEntries>("expected");
        QTest::newRow("every break at every place") << text << expected;
        QTest::newRow("byte order mark") << "\xEF\xBB\xBF" + text << expected;
        QTest::newRow("no break at the end")
            << text + "last" << expected + ReminderEntries{entry("last")};
        QTest::newRow("a very long line")
            << text + longName + "\r\n\tdetail"
            << expected + ReminderEntries{entry(QString::fromLatin1(longName), {"detail"})};
        QTest::newRow("text ends at a NUL far in") << text + '\0' + "after\r\n" << expected;
        // A byte that is not UTF-8 at the very end: that line alone is read in the code page.
        QTest::newRow("not UTF-8 at the end") << text + "\xE0\r\n"
                                              << expected + ReminderEntries{entry("а")};
    }

    void load_longFile_readsEveryLine()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(ReminderEntries, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("List.ul1");
        writeAll(path, bytes);
        const ReminderEntries loaded = listfile::load(path, "windows-1251");
        QCOMPARE(loaded.size(), expected.size());
        QVERIFY(loaded == expected);
    }

    void parse_rowsShareRepeatedTexts_butEachRowChangesAlone()
    {
        const QByteArray text = "Обади се\r\n\t1.1.27 г.\r\n\t9:00:00\r\n\tбележка\r\n"
                                "Обади се\r\n\t1.1.27 г.\r\n\t9:00:00\r\n\tбележка\r\n"
                                "9:00:00\r\n\t9:00:00\r\n\t1.1.27 г.\r\n";
        ReminderEntries rows = listfile::parse(text);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].name.constData(), rows[1].name.constData());
        QCOMPARE(rows[0].details[2].constData(), rows[1].details[2].constData());
        rows[1].name += " пак";
        rows[1].details[0][0] = u'2';
        QCOMPARE(rows[0], entry("Обади се", {"1.1.27 г.", "9:00:00", "бележка"}));
        QCOMPARE(rows[1], entry("Обади се пак", {"2.1.27 г.", "9:00:00", "бележка"}));
        QCOMPARE(rows[2], entry("9:00:00", {"9:00:00", "1.1.27 г."}));
    }

    void serialize_writesCrLfAndTabDetails()
    {
        const ReminderEntries entries{entry("Име", {"1.1.26 г.", "9:00:00", "бележка"}),
                                      entry("", {}), entry("x", {"a", "b", "c", "d", "e"})};
        QCOMPARE(listfile::serialize(entries),
                 QByteArray("Име\r\n\t1.1.26 г.\r\n\t9:00:00\r\n\tбележка\r\n\r\n"
                            "x\r\n\ta\r\n\tb\r\n\tc\r\n\td\r\n\te\r\n"));
        QCOMPARE(listfile::serialize({}), QByteArray());
    }

    void serialize_unsafeTexts_cannotBreakLines()
    {
        const ReminderEntries entries{entry("\tline\r\nbreak", {"a\nb", QString("c") + QChar(0)})};
        const QByteArray bytes = listfile::serialize(entries);
        const ReminderEntries back = listfile::parse(bytes);
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0].name, QString(" line  break"));
        QCOMPARE(back[0].details.toList(), QStringList({"a b", "c"}));
    }

    void roundTrip_savedListLoadsBackTheSame()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("List.ul1");
        ReminderEntries entries;
        for (int i = 0; i < 50; ++i)
            entries.append(
                entry(QString(" Напомняне %1 ").arg(i),
                      {"9.12.26 г.", QString("%1:00:00").arg(i % 24), "текст\tс табулация"}));
        entries.append(entry(""));
        entries.append(entry("no details"));
        listfile::save(path, entries);
        QCOMPARE(listfile::load(path), entries);
    }

    void roundTrip_everyCountOfDetails_keepsEachRowAsItWas()
    {
        // Every count of details from none to six, empty details among them, and the same texts
        // in the rows before and after, with rows between them that lack the column.
        const QStringList texts = {"1.1.27 г.", "", "9:00:00", "бележка", "", "extra"};
        ReminderEntries rows;
        for (int count = 0; count <= 6; ++count) {
            for (int shift = 0; shift < 3; ++shift) {
                ReminderEntry row{"Обади се", {}};
                for (int d = 0; d < count; ++d)
                    row.details.append(texts[(d + shift) % texts.size()]);
                rows.append(row);
                rows.append(row);
            }
        }
        QCOMPARE(rows[14].details.size(), 2);
        QCOMPARE(rows[14].details.toList(), QStringList({"", "9:00:00"}));

        QTemporaryDir dir;
        const QString path = dir.filePath("List.ul1");
        listfile::save(path, rows);
        const ReminderEntries back = listfile::load(path);
        QCOMPARE(back.size(), rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QCOMPARE(back[i].details.size(), rows[i].details.size());
            QCOMPARE(back[i].details.toList(), rows[i].details.toList());
        }
        QVERIFY(back == rows);
    }

    void load_missingFile_reportsSystemReason()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("List.ul1");
        try {
            listfile::load(path);
            QFAIL("loading a missing file succeeded");
        } catch (const Error &e) {
            QCOMPARE(e.message(),
                     QString("Cannot open file \"%1\". No such file or directory").arg(path));
        }
    }

    void load_directory_reportsError()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("List.ul1"));
        QVERIFY_THROWS_EXCEPTION(Error, listfile::load(dir.filePath("List.ul1")));
    }

    void save_emptyList_writesZeroBytes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("List.ul1");
        writeAll(path, "old\r\n");
        listfile::save(path, {});
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
    }

    void save_writeFails_keepsOldFileWhole_data()
    {
        // A full disk, as far as this process can tell: files may not grow past the limit. A
        // long list is written in pieces and fails in a later one.
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("limit");
        QTest::newRow("in the first piece") << 100 << 64;
        QTest::newRow("in a later piece") << 20000 << 600 * 1024;
    }

    void save_writeFails_keepsOldFileWhole()
    {
        QFETCH(int, rows);
        QFETCH(int, limit);
        QTemporaryDir dir;
        const QString path = dir.filePath("List.ul1");
        const QByteArray old("old entry\r\n\tdetail\r\n");
        writeAll(path, old);

        ReminderEntries big;
        for (int i = 0; i < rows; ++i)
            big.append(entry(QString("entry %1").arg(i), {"9.12.26 г.", "9:00:00", "note"}));
        QVERIFY(listfile::serialize(big).size() > limit);
        FileSizeLimit sizeLimit(limit);
        QVERIFY(sizeLimit.isSet());
        QString message;
        try {
            listfile::save(path, big);
        } catch (const Error &e) {
            message = e.message();
        }
        sizeLimit.lift();

        QVERIFY2(message.startsWith(QString("Cannot create file \"%1\". ").arg(path)),
                 qPrintable(message));
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"List.ul1"});

        // The next save, with room again, goes through, byte for byte as serialized.
        listfile::save(path, big);
        QCOMPARE(readAll(path), listfile::serialize(big));
        QCOMPARE(listfile::load(path), big);
    }

    void save_keepsPermissions_flushesTheTemporaryFileBeforeTheRename_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("mask");
        QTest::newRow("private list") << "List.ul1" << 0600 << 022;
        QTest::newRow("list shared wider than the umask") << "List.ul1" << 0664 << 077;
        QTest::newRow("private settings") << "Vellaro.ini" << 0600 << 022;
    }

    void save_keepsPermissions_flushesTheTemporaryFileBeforeTheRename()
    {
        QFETCH(QString, file);
        QFETCH(int, mode);
        QFETCH(int, mask);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        writeAll(path, "old\r\n");
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);

        g_flushes.clear();
        const mode_t savedMask = ::umask(mode_t(mask));
        if (file == "List.ul1")
            listfile::save(path, ReminderEntries{entry("Име", {"1.1.27 г.", "9:00:00", "n"})});
        else
            ProfileFile(path).writeInteger("Раздел", "Key", 42);
        ::umask(savedMask);

        struct stat st
        {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 07777), mode);
        QVERIFY(readAll(path) != "old\r\n");
        // Flushed while it still had its temporary name beside the file, holding all of it: a
        // power cut after the rename finds the whole new file.
        const QString folder = QFileInfo(dir.path()).canonicalFilePath();
        const bool flushedWhole =
            std::any_of(g_flushes.begin(), g_flushes.end(), [&](const Flush &f) {
                const QFileInfo flushed(f.path);
                return flushed.absolutePath() == folder && flushed.fileName() != file &&
                       flushed.fileName().startsWith('.' + file) &&
                       f.size == QFileInfo(path).size();
            });
        QVERIFY(flushedWhole);
    }

    void save_targetIsDirectory_reportsCannotCreate()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("List.ul1");
        QVERIFY(QDir(dir.path()).mkdir("List.ul1"));
        try {
            listfile::save(path, ReminderEntries{entry("x")});
            QFAIL("saving over a directory succeeded");
        } catch (const Error &e) {
            QCOMPARE(e.message(), QString("Cannot create file \"%1\". Is a directory").arg(path));
        }
    }

    void save_intoMissingFolders_createsThemPrivate()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("share/vellaro");
        listfile::save(folder + "/List.ul1", ReminderEntries{entry("x")});
        QCOMPARE(listfile::load(folder + "/List.ul1").size(), 1);
        for (const QString &made : {dir.filePath("share"), folder})
            QCOMPARE(QFileInfo(made).permissions() &
                         (QFile::ReadOther | QFile::ReadGroup | QFile::ExeOther | QFile::ExeGroup),
                     QFile::Permissions());
    }

    void errorBoxText_fullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "No such file"
                                << "No such file.";
        QTest::newRow("closingParenthesis") << "List index out of bounds (3)"
                                            << "List index out of bounds (3)";
        QTest::newRow("fullStop") << "Done."
                                  << "Done.";
        QTest::newRow("quote") << "'x' is not a valid date"
                               << "'x' is not a valid date.";
        QTest::newRow("cyrillic") << "Грешка"
                                  << "Грешка.";
        QTest::newRow("hyphen") << "a-"
                                << "a-";
        QTest::newRow("slash") << "a/"
                               << "a/.";
        QTest::newRow("empty") << ""
                               << "";
    }

    void errorBoxText_fullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(errorBoxText(message), shown);
    }
};

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_listfile.moc"
