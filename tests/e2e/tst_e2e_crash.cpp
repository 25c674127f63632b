// The real program killed at random moments of its save at exit, a thousand times over: every kill
// must leave the list file holding either its whole old content or its whole new one, and the
// settings file whole as well. Nothing in the program knows about the test: the moments are
// found from outside.
#include "e2e/e2eharness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <random>
#include <thread>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace vellaro::e2e;

namespace {

const QString kMainTitle = QStringLiteral("Vellaro - Версия 2.0");
constexpr int kWindowTimeoutMs = 30000;
constexpr int kExitTimeoutMs = 30000;
constexpr int kKills = 1000;
constexpr int kEntries = 20000;
constexpr int kMaxDelayUs = 50000;

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

// Throws away the events the watch has collected so far.
void drain(int watch)
{
    alignas(inotify_event) char buffer[4096];
    while (::read(watch, buffer, sizeof buffer) > 0) {
    }
}

// Waits until a file whose name starts with prefix is created in the watched folder.
bool waitForCreation(int watch, const QString &prefix, int timeoutMs)
{
    const QByteArray wanted = QFile::encodeName(prefix);
    QDeadlineTimer deadline(timeoutMs);
    alignas(inotify_event) char buffer[4096];
    while (!deadline.hasExpired()) {
        pollfd ready{watch, POLLIN, 0};
        if (::poll(&ready, 1, int(std::max<qint64>(deadline.remainingTime(), 0))) <= 0)
            continue;
        const ssize_t got = ::read(watch, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->len > 0 && QByteArray(event->name).startsWith(wanted))
                return true;
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return false;
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
            QVERIFY2(s.waitForWindowOf(app, kMainTitle, kWindowTimeoutMs),
                     qPrintable(describe(app)));
            QVERIFY(Session::sendSignal(app, SIGTERM));
            QVERIFY2(Session::waitForExit(app, kExitTimeoutMs), qPrintable(describe(app)));
            QCOMPARE(app->exitCode(), 0);
            QVERIFY2(readFile(list) == newList, "the save at exit did not give the CR LF list");
            if (run == 1)
                QCOMPARE(readFile(ini), settings);
            settings = readFile(ini);
        }
        QVERIFY(!settings.isEmpty());

        // The program writes the other windows' settings before its list, which takes most of
        // 50 ms on its own (longer on a busy machine). So every other kill is timed from the
        // moment the list's temporary file appears beside it, seen from outside through inotify:
        // those come at random moments of the list's own write and rename.
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        const auto closeWatch = qScopeGuard([watch] { ::close(watch); });
        QVERIFY(::inotify_add_watch(watch, QFile::encodeName(s.workDir()).constData(), IN_CREATE) >=
                0);

        std::random_device seeder;
        const unsigned seed = seeder();
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> delayUs(0, kMaxDelayUs);
        // [timed from SIGTERM, timed from the start of the list's write]
        int wholeOld[2] = {0, 0};
        int wholeNew[2] = {0, 0};
        int killedWhileWriting[2] = {0, 0};
        QDir folder(s.workDir());
        for (int kill = 0; kill < kKills; ++kill) {
            const int timing = kill % 2;
            QVERIFY(replaceFile(list, oldList));
            QProcess *app = s.startApp();
            QVERIFY2(app, qPrintable(s.error()));
            QVERIFY2(s.waitForWindowOf(app, kMainTitle, kWindowTimeoutMs),
                     qPrintable(describe(app)));
            const auto pid = static_cast<pid_t>(app->processId());
            const int delay = delayUs(random);
            drain(watch);
            QVERIFY(::kill(pid, SIGTERM) == 0);
            if (timing == 1)
                QVERIFY2(waitForCreation(watch, QStringLiteral(".List.ul1."), kExitTimeoutMs),
                         "the list's save did not begin");
            std::this_thread::sleep_for(std::chrono::microseconds(delay));
            // Not reaped yet, so the number is still this program's even if it has just ended.
            ::kill(pid, SIGKILL);
            QVERIFY2(Session::waitForExit(app, kExitTimeoutMs), qPrintable(describe(app)));

            const QByteArray now = readFile(list);
            const QString where = QStringLiteral("kill %1 of %2, %3 µs after %4 (seed %5)")
                                      .arg(kill + 1)
                                      .arg(kKills)
                                      .arg(delay)
                                      .arg(timing == 0 ? QStringLiteral("SIGTERM")
                                                       : QStringLiteral("the list's write began"))
                                      .arg(seed);
            if (now == oldList)
                ++wholeOld[timing];
            else if (now == newList)
                ++wholeNew[timing];
            else
                QFAIL(qPrintable(
                    QStringLiteral("torn list file, %1 bytes, at %2").arg(now.size()).arg(where)));
            QVERIFY2(readFile(ini) == settings,
                     qPrintable(QStringLiteral("torn settings file at ") + where));

            // A kill in the middle of a write leaves the unfinished copy beside the file.
            const QStringList partial =
                folder.entryList({QStringLiteral(".List.ul1.*")}, QDir::Files | QDir::Hidden);
            killedWhileWriting[timing] += partial.isEmpty() ? 0 : 1;
            for (const QString &name :
                 folder.entryList({QStringLiteral(".List.ul1.*"), QStringLiteral(".Vellaro.ini.*")},
                                  QDir::Files | QDir::Hidden))
                QVERIFY(folder.remove(name));
        }
        for (int timing = 0; timing < 2; ++timing) {
            qInfo("%d kills timed from %s: %d left the old list, %d the new one; %d came while "
                  "the list was being written",
                  kKills / 2, timing == 0 ? "SIGTERM" : "the start of the list's write",
                  wholeOld[timing], wholeNew[timing], killedWhileWriting[timing]);
        }
        // Kills that came in the middle of the list's write, or this proved little.
        QVERIFY2(killedWhileWriting[1] > 0, "no kill came while the list was being written");
    }
};

QTEST_GUILESS_MAIN(TestE2eCrash)
#include "tst_e2e_crash.moc"
