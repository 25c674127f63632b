// What the timed save costs while the user edits: how many times the list file is written for a
// burst of a hundred edits, made at once or spread out, through the program's own store and save
// timer with the real event loop and the real file.

#include "app/appcore.h"
#include "core/clock.h"
#include "core/localeformats.h"
#include "core/profile.h"
#include "core/reminderlistmodel.h"
#include "windowkit/appcontext.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

using namespace vellaro;

namespace {

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Arg: milliseconds between two edits of the burst (0: all in one pass of the event loop).
void BM_SavesPerBurstOf100Edits(benchmark::State &state)
{
    const int spacingMs = int(state.range(0));
    QTemporaryDir dir;
    ProfileFile ini(dir.filePath(QStringLiteral("Vellaro.ini")));
    SystemClock clock;
    LocaleFormats formats = LocaleFormats::fromLocale(QLocale(QLocale::Bulgarian));
    AppContext context{dir.filePath(QStringLiteral("List.ul1")), &ini, QStringLiteral("vellaro"),
                       &clock, &formats};
    AppCore core(context);
    core.start();
    core.model()->addEntry(
        {QStringLiteral("Среща"), {QStringLiteral("31.12.99 г."), QStringLiteral("9:00:00"), {}}});
    int saves = 0;
    QObject::connect(core.findChild<QTimer *>(QStringLiteral("saveTimer")), &QTimer::timeout,
                     [&saves] { ++saves; });
    runEventLoopFor(4000);
    saves = 0;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i) {
            core.model()->setDetail(0, 2, QString::number(i));
            if (spacingMs > 0)
                runEventLoopFor(spacingMs);
        }
        // Until the last change is on disk.
        runEventLoopFor(4000);
    }
    state.counters["saves_per_burst"] =
        benchmark::Counter(saves, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_SavesPerBurstOf100Edits)
    ->Arg(0)
    ->Arg(10)
    ->Arg(40)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    // No display needed: the program's store and timers, not its windows.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
