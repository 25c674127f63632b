// The real program on a private X server: the transparency command reaches every window the
// desktop shows, the value comes back after a restart, and the About window opens centred.
#include "e2e/e2eharness.h"

#include <QFile>
#include <QTest>

using namespace vellaro::e2e;

namespace {

const QString kMainTitle = QStringLiteral("Vellaro - Версия 2.0");
constexpr int kTimeoutMs = 15000;

// The window's _NET_WM_WINDOW_OPACITY; 0 when it carries none, as an opaque window does.
quint64 windowOpacity(Session &s, XWindow window)
{
    const ToolResult r = s.run("xprop", {"-id", QString::number(window), "_NET_WM_WINDOW_OPACITY"});
    const qsizetype eq = r.out.indexOf('=');
    return r.ok() && eq > 0 ? r.out.mid(eq + 1).trimmed().toULongLong() : 0;
}

// The desktop gets the opacity as a share of 0xFFFFFFFF; allow for rounding either way.
bool opacityIs(Session &s, XWindow window, int alpha)
{
    const auto expected = qint64(0xFFFFFFFFull * alpha / 255);
    return waitUntil([&] { return qAbs(qint64(windowOpacity(s, window)) - expected) <= 1; }, 5000);
}

// Clicks "&Файл" (the bar's first entry, at its left edge), walks right to the wanted menu and
// runs its first entry.
bool runFirstEntryOfMenu(Session &s, XWindow main, int stepsRight)
{
    if (!s.focusWindow(main) || !s.run("xdotool", {"mousemove", "--window", QString::number(main),
                                                   "12", "12", "click", "1"})
                                     .ok())
        return false;
    QTest::qWait(300);
    for (int i = 0; i <= stepsRight; ++i) {
        if (!s.pressKeys({i < stepsRight ? "Right" : "Return"}))
            return false;
        QTest::qWait(150);
    }
    return true;
}

// Without a window manager the client area is the whole window. The window is the design's
// 271 x 150 or larger, as its layout needs in the desktop's font.
bool isCentred(Session &s, XWindow window)
{
    const QList<QByteArray> screen = s.run("xdotool", {"getdisplaygeometry"}).out.split(' ');
    return waitUntil(
        [&] {
            const QRect geometry = s.windowGeometry(window);
            const QPoint centre((screen.value(0).toInt() - geometry.width()) / 2,
                                (screen.value(1).trimmed().toInt() - geometry.height()) / 2);
            return geometry.width() >= 271 && geometry.height() >= 150 &&
                   geometry.topLeft() == centre;
        },
        5000);
}

} // namespace

class TestE2eOpacity : public QObject
{
    Q_OBJECT

private slots:
    void fifty_reachesEveryShownWindow_survivesARestart_aboutOpensCentred()
    {
        Session s(QStringLiteral(VELLARO_BINARY));
        QVERIFY2(s.start(), qPrintable(s.error()));
        s.appEnvironment().insert("LANG", "bg_BG.UTF-8");
        QFile list(s.filePath("List.ul1"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.close();

        QProcess *app = s.startApp();
        QVERIFY2(app, qPrintable(s.error()));
        XWindow main = s.waitForWindow(kMainTitle, app->processId(), kTimeoutMs);
        QVERIFY2(main, qPrintable(Session::outputOf(app)));
        QCOMPARE(windowOpacity(s, main), 0u);

        // "&Настройки" is one step right of "&Файл"; its only entry is the transparency command.
        QVERIFY(runFirstEntryOfMenu(s, main, 1));
        const XWindow dialog =
            s.waitForWindow("Прозрачност на прозорците", app->processId(), kTimeoutMs);
        QVERIFY2(dialog, qPrintable(Session::outputOf(app)));
        QVERIFY(s.focusWindow(dialog));
        QVERIFY(s.pressKeys({"ctrl+a"}));
        QVERIFY(s.typeText("50"));
        QVERIFY(s.pressKeys({"Return"}));
        QVERIFY2(s.waitForWindowGone(dialog, kTimeoutMs), "Enter did not confirm");
        QVERIFY2(opacityIs(s, main, 155), qPrintable(QString::number(windowOpacity(s, main))));

        // The About window was hidden when the value changed; it shows with it, centred.
        QVERIFY(runFirstEntryOfMenu(s, main, 2));
        const XWindow about = s.waitForWindow("За програмата", app->processId(), kTimeoutMs);
        QVERIFY2(about, qPrintable(Session::outputOf(app)));
        QVERIFY(isCentred(s, about));
        for (XWindow w : s.findWindows(QString(), app->processId()))
            QVERIFY2(opacityIs(s, w, 155), qPrintable(s.windowTitle(w)));

        // Left elsewhere at exit, so the next start has a stored position to ignore.
        QVERIFY(s.moveResizeWindow(about, QRect(QPoint(40, 50), s.windowGeometry(about).size())));
        QVERIFY(s.closeWindowPolitely(main));
        QVERIFY2(Session::waitForExit(app, kTimeoutMs), qPrintable(Session::outputOf(app)));

        QProcess *next = s.startApp();
        QVERIFY2(next, qPrintable(s.error()));
        main = s.waitForWindow(kMainTitle, next->processId(), kTimeoutMs);
        QVERIFY2(main, qPrintable(Session::outputOf(next)));
        QVERIFY(opacityIs(s, main, 155));
        QVERIFY(runFirstEntryOfMenu(s, main, 2));
        const XWindow aboutNext = s.waitForWindow("За програмата", next->processId(), kTimeoutMs);
        QVERIFY(aboutNext);
        QVERIFY(opacityIs(s, aboutNext, 155));
        QVERIFY(isCentred(s, aboutNext));
        QVERIFY(s.closeWindowPolitely(main));
        QVERIFY2(Session::waitForExit(next, kTimeoutMs), qPrintable(Session::outputOf(next)));
    }
};

QTEST_GUILESS_MAIN(TestE2eOpacity)
#include "tst_e2e_opacity.moc"
