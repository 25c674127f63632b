// Loading the list file into the sorted list, and saving it back, for short and very long lists.
#include "listfile.h"
#include "reminderlistmodel.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace vellaro;

namespace {

ReminderEntries makeEntries(int count)
{
    ReminderEntries entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        // Names in no particular order, so the load really has to sort.
        const int key = (i * 7919) % count;
        entries.append({QStringLiteral("Напомняне номер %1").arg(key),
                        {QStringLiteral("%1.12.26 г.").arg(1 + i % 28),
                         QStringLiteral("%1:%2:07").arg(i % 24).arg(i % 60, 2, 10, QChar(u'0')),
                         QStringLiteral("Бележка към напомнянето, номер %1").arg(i)}});
    }
    return entries;
}

void BM_LoadSorted(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("List.ul1"));
    listfile::save(path, makeEntries(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        auto model = std::make_unique<ReminderListModel>();
        model->setEntries(listfile::load(path));
        benchmark::DoNotOptimize(model->rowCount());
        // Freeing the list is not part of loading it (the program does it once, at exit).
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Save(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("List.ul1"));
    ReminderListModel model;
    model.setEntries(makeEntries(static_cast<int>(state.range(0))));
    for (auto _ : state)
        listfile::save(path, model.entries());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The part of a save that is ours, without the disk.
void BM_Serialize(benchmark::State &state)
{
    const ReminderEntries entries = makeEntries(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(listfile::serialize(entries));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_Serialize)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSorted)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
