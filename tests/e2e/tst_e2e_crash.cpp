// The real program killed at random moments of its save at exit, a thousand times over: every kill
// must leave the list file holding either its whole old content or its whole new one, and the
// settings file whole as well.
#include "e2eharness.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>
#include <thread>

using namespace vellaro::e2e;

#ifndef VELLARO_CRASH_KILLS
#define VELLARO_CRASH_KILLS 1000
#endif

namespace {

const QString kMainTitle = QStringLiteral("Vellaro - Версия 2.0");
constexpr int kWindowTimeoutMs = 30000;
constexpr int kExitTimeoutMs = 30000;
constexpr int kEntries = 20000;
constexpr int kMaxDelayUs = 50000;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Puts the content in place the way the program itself would not be able to tell from a save of
// its own: written beside the file, then renamed over it.
bool replaceFile(const QString &path, const QByteArray &bytes)
{
    const QString staging = path + QStringLiteral(".staging");
    QFile file(staging);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return std::rename(QFile::encodeName(staging).constData(),
                       QFile::encodeName(path).constData()) == 0;
}

// A list in bare line feeds, already in the order the program sorts it in, so that its save at
// exit differs from it only by the CR before every LF. Far-future dates: nothing falls due.
QByteArray largeList()
{
    QByteArray out;
    for (int i = 0; i < kEntries; ++i) {
        out += QStringLiteral("Среща %1 в заседателната зала на третия етаж\n\t31 Dec 2099\n\t"
                              "07:%2:00\n\tДа се носят документите по точка %1 от дневния ред\n")
                   .arg(i, 5, 10, QChar(u'0'))
                   .arg(i % 60, 2, 10, QChar(u'0'))
                   .toUtf8();
    }
    return out;
}

QString describe(QProcess *app)
{
    return QStringLiteral("state %1, exit status %2, exit code %3, output:\n%4")
        .arg(app->state())
        .arg(app->exitStatus())
        .arg(app->exitCode())
        .arg(Session::outputOf(app));
}

} // namespace

class TestE2eCrash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(QStringLiteral(VELLARO_BINARY)), VELLARO_BINARY);
        QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty());
    }

    void killDuringExitSave_listIsAlwaysWholeOldOrWholeNew()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        const QString list = s.filePath(QStringLiteral("List.ul1"));
        const QString ini = s.filePath(QStringLiteral("Vellaro.ini"));
        const QByteArray oldList = largeList();
        const QByteArray newList = QByteArray(oldList).replace("\n", "\r\n");

        // Two undisturbed runs: the save at exit gives the new content, and the settings the
        // program writes come out the same each time, so any other settings file is a torn one.
        QByteArray settings;
        for (int run = 0; run < 2; ++run) {
            QVERIFY(replaceFile(list, oldList));
            QProcess *app = s.startApp();
            QVERIFY2(app, qPrintable(s.error()));
            QVERIFY2(s.waitForWindowOf(app, kMainTitle, kWindowTimeoutMs), qPrintable(describe(app)));
            QVERIFY(Session::sendSignal(app, SIGTERM));
            QVERIFY2(Session::waitForExit(app, kExitTimeoutMs), qPrintable(describe(app)));
            QCOMPARE(app->exitCode(), 0);
            QVERIFY2(readFile(list) == newList, "the save at exit did not give the CR LF list");
            if (run == 1)
                QCOMPARE(readFile(ini), settings);
            settings = readFile(ini);
        }
        QVERIFY(!settings.isEmpty());

        std::random_device seeder;
        const unsigned seed = seeder();
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> delayUs(0, kMaxDelayUs);
        int wholeOld = 0;
        int wholeNew = 0;
        int killedWhileWriting = 0;
        QDir folder(s.workDir());
        for (int kill = 0; kill < VELLARO_CRASH_KILLS; ++kill) {
            QVERIFY(replaceFile(list, oldList));
            QProcess *app = s.startApp();
            QVERIFY2(app, qPrintable(s.error()));
            QVERIFY2(s.waitForWindowOf(app, kMainTitle, kWindowTimeoutMs), qPrintable(describe(app)));
            const auto pid = static_cast<pid_t>(app->processId());
            const int delay = delayUs(random);
            QVERIFY(::kill(pid, SIGTERM) == 0);
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
            // Not reaped yet, so the number is still this program's even if it has just ended.
            ::kill(pid, SIGKILL);
            QVERIFY2(Session::waitForExit(app, kExitTimeoutMs), qPrintable(describe(app)));

            const QByteArray now = readFile(list);
            const QString where = QStringLiteral("kill %1 of %2, %3 µs after SIGTERM (seed %4)")
                                      .arg(kill + 1)
                                      .arg(VELLARO_CRASH_KILLS)
                                      .arg(delay)
                                      .arg(seed);
            if (now == oldList)
                ++wholeOld;
            else if (now == newList)
                ++wholeNew;
            else
                QFAIL(qPrintable(QStringLiteral("torn list file, %1 bytes, at %2")
                                     .arg(now.size())
                                     .arg(where)));
            QVERIFY2(readFile(ini) == settings, qPrintable(QStringLiteral("torn settings file at ") + where));

            // A kill in the middle of a write leaves the unfinished copy beside the file.
            const QStringList partial = folder.entryList({QStringLiteral(".List.ul1.*")},
                                                         QDir::Files | QDir::Hidden);
            killedWhileWriting += partial.isEmpty() ? 0 : 1;
            for (const QString &name : folder.entryList(
                     {QStringLiteral(".List.ul1.*"), QStringLiteral(".Vellaro.ini.*")},
                     QDir::Files | QDir::Hidden))
                QVERIFY(folder.remove(name));
        }
        qInfo("%d kills: %d left the old list, %d the new one; %d came while the list was being "
              "written",
              VELLARO_CRASH_KILLS, wholeOld, wholeNew, killedWhileWriting);
        // Kills on both sides of the rename, and in the middle of the write, or this proved little.
        QVERIFY(wholeOld > 0);
        QVERIFY(wholeNew > 0);
        QVERIFY(killedWhileWriting > 0);
    }
};

QTEST_GUILESS_MAIN(TestE2eCrash)
#include "tst_e2e_crash.moc"
