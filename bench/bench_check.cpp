// The once-a-second reminder check over a short and a very long list (1,000 and 100,000 entries):
// a plain tick with nothing due, a tick with one row due, and the catch-up after the program could
// not check for eight hours. The tick should cost the same for both lengths. Beside them the plan
// of the next wake-up, which looks up the texts of each second up to the next one that is due (an
// hour at most), and the first plan after an add, which builds the index of due rows again.
#include "core/remindercheck.h"
#include "core/reminderlistmodel.h"
#include "core/repeatrule.h"
#include "core/wakeplan.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <map>
#include <utility>

using namespace vellaro;

namespace {

const QDateTime kNow(QDate(2026, 12, 9), QTime(12, 0, 0));

// Rows spread over the coming year, never in the benchmarked seconds; or, with sameDay, every row
// on the day of kNow later that afternoon (each row's time text is then read and its second worked
// out, the most a plan of the next wake-up does for a row).
ReminderListModel &listOf(int count, const LocaleFormats &f, bool sameDay = false)
{
    static std::map<std::pair<int, bool>, ReminderListModel> models;
    ReminderListModel &model = models[{count, sameDay}];
    if (model.rowCount() == 0) {
        ReminderEntries entries;
        for (int i = 0; i < count; ++i) {
            const QDateTime when = sameDay ? kNow.addSecs(1 + i % 43000)
                                           : kNow.addDays(1 + i % 365).addSecs(i % 86400);
            entries.append(
                {QStringLiteral("Напомняне %1").arg(i),
                 {f.dateText(when.date()), f.timeText(when.time()), QStringLiteral("бележка")}});
        }
        model.setEntries(std::move(entries));
    }
    return model;
}

void BM_TickNothingDue(benchmark::State &state)
{
    const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
    ReminderListModel &model = listOf(int(state.range(0)), f);
    ReminderCheck check;
    QDateTime now = kNow;
    check.collectDue(now, model, f);
    for (auto _ : state) {
        now = now.addSecs(1);
        benchmark::DoNotOptimize(check.collectDue(now, model, f));
    }
}

void BM_TickOneDue(benchmark::State &state)
{
    const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
    ReminderListModel &model = listOf(int(state.range(0)), f);
    ReminderCheck check;
    QDateTime now = kNow;
    check.collectDue(now, model, f);
    // Named to sort last, the farthest row from the start of the list.
    const int row = model.addEntry({QStringLiteral("я due"), {}});
    for (auto _ : state) {
        now = now.addSecs(1);
        state.PauseTiming();
        model.setDetail(row, 0, f.dateText(now.date()));
        model.setDetail(row, 1, f.timeText(now.time()));
        state.ResumeTiming();
        const QList<DueReminder> due = check.collectDue(now, model, f);
        if (due.size() != 1)
            state.SkipWithError("the due row was not found");
    }
    model.removeEntry(row);
}

void BM_CatchUpEightHours(benchmark::State &state)
{
    const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
    ReminderListModel &model = listOf(int(state.range(0)), f);
    QDateTime start = kNow;
    for (auto _ : state) {
        ReminderCheck check;
        check.collectDue(start, model, f);
        benchmark::DoNotOptimize(check.collectDue(start.addSecs(8 * 3600), model, f));
    }
}

// Second argument: 0 for rows spread over the coming year (an hour of seconds looked up, none
// due), 1 for every row falling due later the same day (the next second is due).
void BM_NextWake(benchmark::State &state)
{
    const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
    const int count = int(state.range(0));
    const ReminderListModel &model = listOf(count, f, state.range(1) == 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(nextWake(kNow, model, f));
    state.SetItemsProcessed(state.iterations() * count);
}

// An add and a delete, then the plan: the rows moved, so the index is built again first.
void BM_NextWakeAfterAdd(benchmark::State &state)
{
    const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QStringLiteral("bg_BG")));
    ReminderListModel &model = listOf(int(state.range(0)), f);
    for (auto _ : state) {
        model.removeEntry(model.addEntry({QStringLiteral("added"), {}}));
        benchmark::DoNotOptimize(nextWake(kNow, model, f));
    }
}

} // namespace

// What a list of repeating rows adds to the start: every rule read once to find the ones libical
// refuses, then every row whose occurrence passed while the program was off moved on (Arg 1: all
// of them passed, a machine off for a day; Arg 0: none did).
void BM_StartWithRepeatingRows(benchmark::State &state)
{
    const LocaleFormats f = LocaleFormats::fromLocale(QLocale(QLocale::Bulgarian));
    const char *const rules[] = {"FREQ=DAILY", "FREQ=DAILY;BYDAY=MO,TU,WE,TH,FR",
                                 "FREQ=WEEKLY;BYDAY=MO,WE", "FREQ=MONTHLY", "FREQ=YEARLY"};
    ReminderEntries entries;
    for (int i = 0; i < 10000; ++i) {
        const QDateTime when = state.range(0) ? kNow.addSecs(-60 - i) : kNow.addDays(1 + i % 300);
        entries.append({QStringLiteral("Напомняне %1").arg(i),
                        {f.dateText(when.date()), f.timeText(when.time()), QStringLiteral("n"),
                         QStringLiteral("RRULE:") + QString::fromLatin1(rules[i % 5])}});
    }
    for (auto _ : state) {
        state.PauseTiming();
        ReminderListModel list;
        list.setEntries(entries);
        state.ResumeTiming();
        benchmark::DoNotOptimize(unreadableRepeatRules(list.rows()));
        advanceRepeats(list, f, kNow);
    }
}

BENCHMARK(BM_StartWithRepeatingRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextWakeAfterAdd)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NextWake)->ArgsProduct({{1000, 100000}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickNothingDue)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickOneDue)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CatchUpEightHours)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
