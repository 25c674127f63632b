// Loading the list file into the sorted list, saving it back, re-sorting it by another column,
// and the memory a long list holds; with the disk's own cost of writing the same bytes beside
// them, which no change of ours can go below.
#include "benchdata.h"
#include "core/atomicfile.h"
#include "core/listfile.h"
#include "core/reminderlistmodel.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <malloc.h>
#include <map>
#include <memory>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace vellaro;

namespace {

// One folder beside the build for every file the benchmarks write: on the same disk as a
// user's list, not in a memory file system.
QString benchFolder()
{
    static QTemporaryDir dir(QCoreApplication::applicationDirPath() +
                             QStringLiteral("/bench-XXXXXX"));
    return dir.path();
}

const ReminderEntries &entriesOf(int count)
{
    static std::map<int, ReminderEntries> made;
    auto it = made.find(count);
    if (it == made.end())
        it = made.emplace(count, bench::realisticEntries(count)).first;
    return it->second;
}

// A list file of that many entries as the program saves it: in the order of the sort column
// the user last chose. Read back, the list is sorted by name again (the column every start
// begins with); from a file saved by name that sort finds the order already there, from one saved
// by date it has the whole work to do, and the rows' texts lie in memory in the file's order.
QString listFileOf(int count, int savedByColumn)
{
    const QString path =
        benchFolder() + QStringLiteral("/List-%1-by-%2.ul1").arg(count).arg(savedByColumn);
    if (!QFile::exists(path)) {
        ReminderListModel model;
        model.setSortColumn(savedByColumn);
        model.setEntries(entriesOf(count));
        listfile::save(path, model.rows());
    }
    return path;
}

// Page faults so far (minor ones: new memory and the page cache's pages being mapped).
long pageFaults()
{
    struct rusage usage
    {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// This process's processor time: on a machine others share, the part of a load's time that is
// its own.
double processorSeconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// One load in this process, as the program does it once at start: prints the seconds from the
// file to the sorted list and the page faults taken.
int loadOnce(const QString &path)
{
    const long faultsBefore = pageFaults();
    const double cpuBefore = processorSeconds();
    const auto start = std::chrono::steady_clock::now();
    auto model = std::make_unique<ReminderListModel>();
    ReminderEntries rows = listfile::load(path);
    const auto loaded = std::chrono::steady_clock::now();
    const long faultsLoaded = pageFaults();
    model->setEntries(std::move(rows));
    benchmark::DoNotOptimize(model->rowCount());
    const auto end = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(end - start).count();
    std::printf("%.9f %ld %.9f\n", seconds, pageFaults() - faultsBefore,
                processorSeconds() - cpuBefore);
    // For a look by hand: the file to entries, then the sort.
    if (qEnvironmentVariableIsSet("VELLARO_BENCH_STAGES"))
        std::fprintf(stderr, "read+parse %.1f ms, sort %.1f ms (page faults %ld + %ld)\n",
                     std::chrono::duration<double, std::milli>(loaded - start).count(),
                     std::chrono::duration<double, std::milli>(end - loaded).count(),
                     faultsLoaded - faultsBefore, pageFaults() - faultsLoaded);
    // Ends here: the list's teardown is no part of a load, and would only blur a profile.
    std::fflush(nullptr);
    std::_Exit(0);
}

// The load at start: each run in a new process (this program again, with --load-once), so its
// heap is as new as a starting program's.
void BM_LoadSorted(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    const QString path = listFileOf(count, static_cast<int>(state.range(1)));
    long faults = 0;
    double processor = 0;
    for (auto _ : state) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load-once"), path});
        const QList<QByteArray> figures = child.waitForFinished(-1) && child.exitCode() == 0
                                              ? child.readAllStandardOutput().trimmed().split(' ')
                                              : QList<QByteArray>();
        if (figures.size() != 3) {
            state.SkipWithError("the loading process failed");
            break;
        }
        state.SetIterationTime(figures[0].toDouble());
        faults += figures[1].toLong();
        processor += figures[2].toDouble();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
    state.counters["processor_ms"] = 1000 * processor / double(state.iterations());
    state.counters["page_faults"] = double(faults) / double(state.iterations());
}

// The same load with the memory it needs already resident (the previous load's, kept by the
// allocator): what the loading itself costs, without the system's cost of new pages. Run last,
// since it changes how this process's allocator returns memory.
void BM_LoadSortedWarmHeap(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    const QString path = listFileOf(count, static_cast<int>(state.range(1)));
    ::mallopt(M_MMAP_THRESHOLD, 1 << 30);
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
    long faults = 0;
    auto model = std::make_unique<ReminderListModel>();
    model->setEntries(listfile::load(path));
    for (auto _ : state) {
        state.PauseTiming();
        model.reset();
        // A large request makes the allocator merge the small chunks just freed now, not in
        // the middle of the next load.
        ::free(::malloc(64 * 1024));
        state.ResumeTiming();
        const long faultsBefore = pageFaults();
        model = std::make_unique<ReminderListModel>();
        model->setEntries(listfile::load(path));
        faults += pageFaults() - faultsBefore;
    }
    state.counters["page_faults"] = double(faults) / double(state.iterations());
}

// The part of a load without the disk and the sort: the file's bytes to rows.
void BM_Parse(benchmark::State &state)
{
    QFile file(listFileOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("cannot read the list file");
        return;
    }
    const QByteArray bytes = file.readAll();
    for (auto _ : state) {
        auto rows = std::make_unique<ReminderEntries>(listfile::parse(bytes));
        state.PauseTiming();
        rows.reset();
        ::malloc_trim(0);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// Saving the list as it stands after a start: read from the file, sorted by name.
void BM_Save(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    const QString path = benchFolder() + QStringLiteral("/Saved-%1.ul1").arg(count);
    ReminderListModel model;
    model.setEntries(listfile::load(listFileOf(count, static_cast<int>(state.range(1)))));
    for (auto _ : state)
        listfile::save(path, model.rows());
    state.SetItemsProcessed(state.iterations() * count);
    state.SetBytesProcessed(state.iterations() * QFile(path).size());
}

// The part of a save that is ours, without the disk.
void BM_Serialize(benchmark::State &state)
{
    ReminderListModel model;
    model.setEntries(listfile::load(
        listFileOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))));
    for (auto _ : state)
        benchmark::DoNotOptimize(listfile::serialize(model.rows()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The floor under a save: the same bytes written by the atomic replacement alone (temporary
// file, write, fsync, rename, fsync of the folder), then by a plain write with and without fsync.
QByteArray bytesOf(int count)
{
    ReminderListModel model;
    model.setEntries(entriesOf(count));
    return listfile::serialize(model.rows());
}

void BM_WriteAtomically(benchmark::State &state)
{
    const QByteArray bytes = bytesOf(static_cast<int>(state.range(0)));
    const QString path = benchFolder() + QStringLiteral("/Atomic.ul1");
    for (auto _ : state) {
        if (writeFileAtomically(path, bytes) != 0)
            state.SkipWithError("writeFileAtomically failed");
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void plainWrite(benchmark::State &state, bool sync)
{
    const QByteArray bytes = bytesOf(static_cast<int>(state.range(0)));
    const QByteArray path = QFile::encodeName(benchFolder() + QStringLiteral("/Plain.ul1"));
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool ok = fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) ==
                                       ssize_t(bytes.size());
        if (!ok || (sync && ::fsync(fd) != 0))
            state.SkipWithError("plain write failed");
        if (fd >= 0)
            ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_PlainWrite(benchmark::State &state)
{
    plainWrite(state, false);
}
void BM_PlainWriteFsync(benchmark::State &state)
{
    plainWrite(state, true);
}

// A click on a column header: the list re-sorted by that column, with a selected row that has
// to follow its reminder. Each click takes the next column, so every one really reorders.
void BM_HeaderClickResort(benchmark::State &state)
{
    ReminderListModel model;
    model.setEntries(listfile::load(listFileOf(static_cast<int>(state.range(0)), 0)));
    const QPersistentModelIndex selected = model.index(model.rowCount() / 2, 0);
    int column = 0;
    for (auto _ : state) {
        column = (column + 1) % ReminderListModel::kColumnCount;
        model.setSortColumn(column);
        model.resort();
    }
    if (!selected.isValid())
        state.SkipWithError("the selected row was lost");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

size_t residentBytes()
{
    long pages = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%*s %ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return size_t(pages) * size_t(::sysconf(_SC_PAGESIZE));
}

// The floor under a load on a fresh heap: making that much memory resident at all. Every new
// page costs a fault; on a virtual machine a fault can cost more than the work done in it.
void BM_FaultInListMemory(benchmark::State &state)
{
    const QString path = listFileOf(static_cast<int>(state.range(0)), 1);
    ::malloc_trim(0);
    const size_t before = heapInUse();
    size_t bytes = 0;
    {
        ReminderListModel model;
        model.setEntries(listfile::load(path));
        bytes = heapInUse() - before;
    }
    ::malloc_trim(0);
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    for (auto _ : state) {
        void *memory =
            ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            state.SkipWithError("mmap failed");
            break;
        }
        for (size_t at = 0; at < bytes; at += page)
            static_cast<volatile char *>(memory)[at] = 1;
        state.PauseTiming();
        ::munmap(memory, bytes);
        state.ResumeTiming();
    }
    state.counters["bytes"] = double(bytes);
    state.counters["page_faults"] = double((bytes + page - 1) / page);
}

// What a loaded list holds: heap in use and resident memory after loading, less before.
void BM_MemoryHeld(benchmark::State &state)
{
    const int count = static_cast<int>(state.range(0));
    const QString path = listFileOf(count, 1);
    double heap = 0;
    double resident = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ::malloc_trim(0);
        const size_t heapBefore = heapInUse();
        const size_t residentBefore = residentBytes();
        state.ResumeTiming();
        auto model = std::make_unique<ReminderListModel>();
        model->setEntries(listfile::load(path));
        state.PauseTiming();
        heap = double(heapInUse() - heapBefore);
        resident = double(residentBytes() - residentBefore);
        model.reset();
        state.ResumeTiming();
    }
    state.counters["heap_bytes"] = heap;
    state.counters["heap_bytes_per_entry"] = heap / count;
    state.counters["rss_bytes"] = resident;
    state.counters["file_bytes"] = double(QFile(path).size());
}

} // namespace

BENCHMARK(BM_MemoryHeld)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FaultInListMemory)->Arg(100000)->Unit(benchmark::kMillisecond);
// Arguments: entries, the column the file was saved by (0 name, 1 date).
BENCHMARK(BM_LoadSorted)
    ->ArgsProduct({{1000, 100000, 1000000}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Parse)->Args({100000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save)->ArgsProduct({{1000, 100000, 1000000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Serialize)->ArgsProduct({{100000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteAtomically)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWrite)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWriteFsync)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderClickResort)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSortedWarmHeap)->ArgsProduct({{100000}, {0, 1}})->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--load-once") == 0)
        return loadOnce(QString::fromLocal8Bit(argv[2]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
