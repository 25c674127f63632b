// The whole timeline of the sleeping check, simulated: the real watch, check, plan and list
// model, driven by a fake clock and a fake wall-clock timer, through random timelines of clock
// steps both ways, suspends, zone changes across daylight saving, slow handlers, long looks, and
// adds, edits and deletes at random moments (also at the very second a row falls due). An oracle
// that looks at every second as it is lived says what must sound, what may sound, and by when.
//
// ctest runs a fixed set of timelines (VELLARO_TIMELINE_FIXED of them: 30, or 10 under the
// sanitizers, whose run adds new seeds). VELLARO_TIMELINE_SECONDS=N runs new seeds for N seconds
// instead; a failure prints its seed, and VELLARO_TIMELINE_SEED=S replays that one timeline.

#include "common/faketime.h"
#include "core/reminderlistmodel.h"
#include "core/reminderwatch.h"
#include "core/repeatrule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimeZone>

#include <array>
#include <optional>
#include <random>

using namespace vellaro;

namespace {

const bool kTrace = qEnvironmentVariableIsSet("VELLARO_TIMELINE_TRACE");
#define TRACE(...)                                                                                 \
    do {                                                                                           \
        if (kTrace)                                                                                \
            qInfo(__VA_ARGS__);                                                                    \
    } while (false)

// How late the machine may deliver a timer's expiry or a report that the clock was set.
constexpr qint64 kDeliveryLatencyMs = 250;
// How late an alarm may come after the machine could first run the program.
constexpr qint64 kAllowedLateMs = 1000;

const char *const kZones[] = {
    "Europe/Sofia",     "Asia/Kolkata", "Asia/Kathmandu",   "Australia/Lord_Howe", "America/Havana",
    "America/Santiago", "Asia/Beirut",  "America/St_Johns", "Pacific/Chatham",     "UTC",
};

qint64 floorDiv(qint64 a, qint64 b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

struct Row
{
    QString name;
    QString dateText;
    QString timeText;
    QString rule; // an RRULE value; empty: a one-off row
};

ReminderEntry entryOf(const Row &row)
{
    ReminderEntry entry{row.name, {row.dateText, row.timeText, QStringLiteral("n")}};
    if (!row.rule.isEmpty())
        entry.setProperty(kRepeatRuleProperty, row.rule);
    return entry;
}

// A second the oracle looked at, for a row whose texts it carried.
struct Expected
{
    QString name;
    qint64 second;
    qint64 lived;  // when the program could have known: the machine's milliseconds
    bool optional; // lived while the program could not know what the clock did
    bool consumed = false;
};

struct Sounded
{
    QString name;
    qint64 at;
};

enum class Kind
{
    StepForward,
    StepBack,
    Suspend,
    ZoneChange
};

struct WorldEvent
{
    qint64 at;
    Kind kind;
    qint64 amount;
};

class Timeline
{
public:
    explicit Timeline(quint64 seed)
        : m_seed(seed), m_rng(seed), m_formats(LocaleFormats::fromLocale(QLocale("bg_BG"))),
          m_watch(m_clock, &m_timer, m_list, m_formats)
    {
        QObject::connect(&m_watch, &ReminderWatch::due, [this](const QList<DueReminder> &due) {
            for (const DueReminder &d : due) {
                TRACE("%lld sounded %s", m_real, qPrintable(d.name));
                m_sounded.push_back({d.name, m_real});
                m_advance << d.rowId;
            }
        });
        QObject::connect(&m_list, &ReminderListModel::aboutToChange, [this] { ++looks; });
        // As the program does: after the run's first look, every repeating row that has passed
        // moves on (the rows of the start's own second have had their chance to sound).
        QObject::connect(&m_watch, &ReminderWatch::firstLookMade, [this] { m_advanceAll = true; });
        m_clock.afterRead = [this] {
            if (m_slowLookMs > 0) {
                const qint64 d = std::exchange(m_slowLookMs, 0);
                m_busy.push_back({m_real, m_real + d});
                advanceTo(m_real + d);
            }
        };
    }

    // Empty when every second came out as the oracle says; otherwise what went wrong.
    QString run();

    int looks = 0;

private:
    qint64 uniform(qint64 low, qint64 high)
    {
        return std::uniform_int_distribution<qint64>(low, high)(m_rng);
    }
    bool chance(double p) { return std::bernoulli_distribution(p)(m_rng); }
    qint64 wall() const { return m_real + m_offset; }
    void syncClock() { m_clock.current = QDateTime::fromMSecsSinceEpoch(wall(), m_zone); }

    void generate();
    void advanceTo(qint64 target);
    void live(qint64 target);
    void apply(const WorldEvent &event);
    void expect(qint64 fromSecond, qint64 toSecond, const QTimeZone &zone, qint64 lived,
                bool optional);
    std::vector<qint64> secondsOf(const Row &row, const QTimeZone &zone) const;
    qint64 runnableAt(qint64 t) const;
    qint64 availableAt(qint64 t) const;
    // By when a second must have sounded: a second after the machine could first deliver the
    // timer's expiry for it and the look that finds it has ended (a handler or a look that
    // begins before the delivery holds it up; a timer set again after the second, to a moment
    // already past, delivers within the latency of that setting).
    qint64 deadlineOf(const Expected &e) const
    {
        qint64 t = availableAt(e.lived);
        for (bool moved = true; moved;) {
            moved = false;
            for (const auto *intervals : {&m_suspended, &m_busy}) {
                for (const auto &[from, to] : *intervals) {
                    if (from >= t && from <= t + 2 * kDeliveryLatencyMs && to > t) {
                        t = availableAt(from);
                        moved = true;
                    }
                }
            }
        }
        return t + kAllowedLateMs;
    }
    void afterProgram();
    // Returns whether it planned the next edit itself (an editor opened, its save planned).
    bool edit();
    void scheduleEdit();
    Row rowAt(const QString &name, qint64 second) const;
    // A repeat rule for a new row, or none; a monthly row is put on the 31st where it can be.
    void maybeRepeat(Row &row);
    // What the program does after a look from the event loop: repeating rows move on. The
    // oracle checks where each moved row stands, and that none was left behind.
    void moveRepeats();
    QDateTime nextOccurrence(const Row &row, const QDateTime &after) const;
    QString verify() const;

    quint64 m_seed;
    std::mt19937_64 m_rng;

    // The world: the machine's own milliseconds, the wall clock's offset from them, the zone.
    qint64 m_real = 0;
    qint64 m_offset = 0;
    qint64 m_end = 0;
    QTimeZone m_zone;
    std::vector<WorldEvent> m_world;
    size_t m_nextWorld = 0;
    std::vector<std::pair<qint64, qint64>> m_suspended;
    std::vector<std::pair<qint64, qint64>> m_busy;

    // The program.
    FakeClock m_clock;
    FakeWakeTimer m_timer;
    LocaleFormats m_formats;
    ReminderListModel m_list;
    ReminderWatch m_watch;
    int m_seenArmings = 0;
    std::optional<qint64> m_timerFires;
    std::optional<qint64> m_report;
    std::optional<qint64> m_nextEdit;
    qint64 m_slowLookMs = 0;
    int m_rowNumber = 0;
    // An editor open: its mark, the second it opened in, the world's events until then.
    QList<quint64> m_advance;
    bool m_advanceAll = false;
    QStringList m_repeatFaults;
    std::optional<qint64> m_editorMark;
    qint64 m_editorOpened = 0;
    size_t m_worldAtOpen = 0;

    // The oracle.
    std::vector<Row> m_rows;
    std::vector<Expected> m_expected;
    std::vector<Sounded> m_sounded;
    bool m_looked = false;     // the run's first look has been made
    qint64 m_lastRan = 0;      // when the program last ran code
    bool m_unreported = false; // the clock or the zone changed and the program has not heard yet
    std::optional<QTimeZone> m_zoneBefore;
    mutable QHash<QString, std::vector<qint64>> m_secondsOf;
};

std::vector<qint64> Timeline::secondsOf(const Row &row, const QTimeZone &zone) const
{
    const QString key = row.dateText + u'|' + row.timeText + u'|' + QString::fromUtf8(zone.id());
    if (const auto known = m_secondsOf.constFind(key); known != m_secondsOf.cend())
        return *known;
    // The texts name a local date and time; daylight saving and zone offsets move it by
    // multiples of a quarter hour, so the seconds that carry these texts lie on that grid.
    const QDate date = m_formats.parseDateText(row.dateText, 2026);
    const QTime time = m_formats.parseTimeText(row.timeText);
    const qint64 guess = QDateTime(date, time, QTimeZone::utc()).toSecsSinceEpoch();
    // A time of day the clock shows twice (daylight saving's end) is due the first time only; one
    // it skips (its start) is due at the first second after the gap.
    const auto wall = [&zone](qint64 second) {
        const QDateTime local = QDateTime::fromSecsSinceEpoch(second, zone);
        return QDateTime(local.date(), local.time(), QTimeZone::utc()).toSecsSinceEpoch();
    };
    std::vector<qint64> seconds;
    for (qint64 shift = -16 * 3600; shift <= 16 * 3600 && seconds.empty(); shift += 900) {
        const QDateTime local = QDateTime::fromSecsSinceEpoch(guess + shift, zone);
        if (m_formats.dateText(local.date()) == row.dateText &&
            m_formats.timeText(local.time()) == row.timeText)
            seconds.push_back(guess + shift);
        else if (wall(guess + shift) > guess && wall(guess + shift - 900) < guess) {
            // The clock jumped over the texts' moment within these fifteen minutes.
            qint64 before = guess + shift - 900;
            qint64 after = guess + shift;
            while (after - before > 1) {
                const qint64 middle = before + (after - before) / 2;
                (wall(middle) > guess ? after : before) = middle;
            }
            if (wall(after) - wall(before) > 1)
                seconds.push_back(after);
        }
    }
    m_secondsOf.insert(key, seconds);
    return seconds;
}

void Timeline::expect(qint64 fromSecond, qint64 toSecond, const QTimeZone &zone, qint64 lived,
                      bool optional)
{
    if (fromSecond > toSecond)
        return;
    for (const Row &row : m_rows) {
        for (const qint64 s : secondsOf(row, zone)) {
            if (s >= fromSecond && s <= toSecond) {
                const qint64 when = lived >= 0 ? lived : s * 1000 - m_offset;
                m_expected.push_back({row.name, s, when, optional || !m_looked});
            }
        }
    }
    // Until the program hears of a change of the zone, it may read the seconds in either.
    if (m_unreported && m_zoneBefore && zone != *m_zoneBefore)
        expect(fromSecond, toSecond, *m_zoneBefore, lived, true);
}

// Time passes without a step: every second whose start is crossed is looked at.
void Timeline::live(qint64 target)
{
    if (target <= m_real)
        return;
    const qint64 from = floorDiv(wall(), 1000) + 1;
    const qint64 to = floorDiv(target + m_offset, 1000);
    expect(from, to, m_zone, -1, m_unreported);
    m_real = target;
    syncClock();
}

void Timeline::advanceTo(qint64 target)
{
    while (m_nextWorld < m_world.size() && m_world[m_nextWorld].at <= target) {
        const WorldEvent event = m_world[m_nextWorld++];
        live(event.at);
        apply(event);
    }
    live(target);
}

void Timeline::apply(const WorldEvent &event)
{
    const bool unreported = m_unreported;
    const auto reportLater = [this] {
        m_unreported = true;
        if (!m_report)
            m_report = m_real + uniform(0, kDeliveryLatencyMs);
    };
    TRACE("%lld world %d %lld", m_real, int(event.kind), event.amount);
    switch (event.kind) {
    case Kind::StepForward: {
        const qint64 before = floorDiv(wall(), 1000);
        m_offset += event.amount;
        const qint64 after = floorDiv(wall(), 1000);
        // The seconds jumped over are looked at on arrival, at most a week back. Those further
        // back may still be looked at, when the clock goes back again before the program
        // hears of the step: its week reaches back from where the clock then stands.
        const qint64 from = std::max(before + 1, after - ReminderCheck::kMaxLookBackSeconds);
        expect(before + 1, from - 1, m_zone, m_real, true);
        expect(from, after, m_zone, m_real, unreported);
        m_timerFires.reset(); // a timer on the wall clock is cancelled when the clock is set
        reportLater();
        break;
    }
    case Kind::StepBack:
        // Seconds the program has not been able to look at yet (the machine was suspended or
        // busy, or the timer's expiry was on its way) are lost to it: after the step the clock
        // no longer shows that they passed.
        for (Expected &e : m_expected) {
            if (deadlineOf(e) - kAllowedLateMs + kDeliveryLatencyMs > m_real)
                e.optional = true;
        }
        m_offset -= event.amount;
        // The second landed in may or may not be looked at: the program learns of the step
        // only when the report comes.
        expect(floorDiv(wall(), 1000), floorDiv(wall(), 1000), m_zone, m_real, true);
        m_timerFires.reset();
        reportLater();
        break;
    case Kind::Suspend:
        m_suspended.push_back({m_real, m_real + event.amount});
        break;
    case Kind::ZoneChange: {
        if (!m_unreported)
            m_zoneBefore = m_zone;
        QTimeZone next = m_zone;
        while (next == m_zone)
            next = QTimeZone(kZones[uniform(0, std::size(kZones) - 1)]);
        m_zone = next;
        reportLater();
        break;
    }
    }
    syncClock();
}

// When the program can next run code at or after `t`: not while the machine is suspended.
qint64 Timeline::runnableAt(qint64 t) const
{
    for (const auto &[from, to] : m_suspended) {
        if (t >= from && t < to)
            t = to;
    }
    return t;
}

// When the program could first act on a second lived at `t`: neither suspended nor busy.
qint64 Timeline::availableAt(qint64 t) const
{
    for (bool moved = true; moved;) {
        moved = false;
        for (const auto *intervals : {&m_suspended, &m_busy}) {
            for (const auto &[from, to] : *intervals) {
                if (t >= from && t < to) {
                    t = to;
                    moved = true;
                }
            }
        }
    }
    return t;
}

Row Timeline::rowAt(const QString &name, qint64 second) const
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(second, m_zone);
    return {name, m_formats.dateText(local.date()), m_formats.timeText(local.time()), {}};
}

void Timeline::maybeRepeat(Row &row)
{
    if (!chance(0.3))
        return;
    const QDate date = m_formats.parseDateText(row.dateText, 2026);
    switch (uniform(0, 4)) {
    case 0:
        row.rule = QStringLiteral("FREQ=DAILY");
        break;
    case 1:
        row.rule = RepeatRule::build(RepeatRule::Kind::Weekdays);
        break;
    case 2:
        row.rule = QStringLiteral("FREQ=MONTHLY");
        if (date.daysInMonth() == 31)
            row.dateText = m_formats.dateText(QDate(date.year(), date.month(), 31));
        break;
    case 3:
        row.rule = QStringLiteral("FREQ=YEARLY");
        break;
    default:
        row.rule = RepeatRule::build(RepeatRule::Kind::Daily, {}, date.addDays(uniform(0, 3)));
    }
}

// The oracle's own reckoning of the rules it makes, day by day in local date and time.
QDateTime Timeline::nextOccurrence(const Row &row, const QDateTime &after) const
{
    const QDate start = m_formats.parseDateText(row.dateText, 2026);
    const QTime time = m_formats.parseTimeText(row.timeText);
    const std::optional<RepeatRule> rule = RepeatRule::parse(row.rule);
    for (QDate d = start.addDays(1); d <= start.addYears(9); d = d.addDays(1)) {
        if (rule->until().isValid() && d > rule->until())
            return {};
        bool occurs = true;
        switch (rule->kind()) {
        case RepeatRule::Kind::Weekdays:
            occurs = d.dayOfWeek() <= 5;
            break;
        case RepeatRule::Kind::Monthly:
            occurs = d.day() == start.day();
            break;
        case RepeatRule::Kind::Yearly:
            occurs = d.day() == start.day() && d.month() == start.month();
            break;
        default:
            break;
        }
        if (occurs && QDateTime(d, time, Qt::UTC) > after)
            return QDateTime(d, time, Qt::UTC);
    }
    return {};
}

void Timeline::moveRepeats()
{
    if (m_advance.isEmpty() && !m_advanceAll)
        return;
    const QDateTime looked = m_watch.lastLooked();
    const bool all = m_advanceAll;
    const QList<quint64> asked = m_advance;
    TRACE("%lld move repeats (%lld rows) all %d looked %s", m_real, qint64(m_advance.size()),
          int(m_advanceAll), qPrintable(looked.toString(Qt::ISODate)));
    advanceRepeats(m_list, m_formats, looked,
                   std::exchange(m_advanceAll, false) ? QList<quint64>() : m_advance);
    m_advance.clear();
    const QDateTime lived(looked.date(), looked.time(), Qt::UTC);
    for (Row &row : m_rows) {
        if (row.rule.isEmpty())
            continue;
        int listRow = 0;
        while (m_list.entry(listRow).name != row.name)
            ++listRow;
        const ReminderEntry now = m_list.entry(listRow);
        // Only the rows the program was asked to move are judged; the others keep their place.
        if (!all && !asked.contains(now.id)) {
            row.dateText = now.dateText();
            row.timeText = now.timeText();
            continue;
        }
        // Passed: the first second that showed the row's texts (the oracle's own reckoning),
        // or for texts no second shows, as they read.
        const QDateTime at(m_formats.parseDateText(row.dateText, 2026),
                           m_formats.parseTimeText(row.timeText), Qt::UTC);
        const std::vector<qint64> seconds = secondsOf(row, m_zone);
        const bool passed =
            seconds.empty() ? at <= lived : seconds.front() <= looked.toSecsSinceEpoch();
        const QDateTime next = passed ? nextOccurrence(row, std::max(at, lived)) : QDateTime();
        const QString expected = next.isValid() ? m_formats.dateText(next.date()) : row.dateText;
        if (now.dateText() != expected || now.timeText() != row.timeText)
            m_repeatFaults << QStringLiteral("%1 (%2) at %3 stands at %4 %5, not %6")
                                  .arg(row.name, row.rule, row.dateText + u' ' + row.timeText,
                                       now.dateText(), now.timeText(), expected);
        row.dateText = now.dateText();
        row.timeText = now.timeText();
    }
}

void Timeline::scheduleEdit()
{
    const qint64 now = floorDiv(wall(), 1000);
    if (chance(0.4)) {
        // Right at a second some row falls due, a few milliseconds either side.
        std::optional<qint64> soonest;
        for (const Row &row : m_rows) {
            for (const qint64 s : secondsOf(row, m_zone)) {
                if (s > now && s < now + 7200 && (!soonest || s < *soonest))
                    soonest = s;
            }
        }
        if (soonest) {
            m_nextEdit = *soonest * 1000 - m_offset + uniform(-40, 40);
            if (*m_nextEdit > m_real)
                return;
        }
    }
    m_nextEdit = m_real + uniform(1000, 40 * 60 * 1000);
}

bool Timeline::edit()
{
    // The user opens the editor and types for a while; the check runs on meanwhile.
    if (!m_editorMark && chance(0.25)) {
        m_editorMark = m_watch.editStarted();
        m_editorOpened = floorDiv(wall(), 1000);
        m_worldAtOpen = m_nextWorld;
        m_nextEdit = m_real + uniform(500, 120 * 1000);
        return true;
    }
    const std::optional<qint64> editorMark = std::exchange(m_editorMark, std::nullopt);
    // A handler that takes its time: the change is applied when it ends.
    qint64 busy = chance(0.3) ? uniform(20, 4000) : 0;
    for (const WorldEvent &event : m_world) {
        if (event.kind == Kind::Suspend && event.at >= m_real && event.at <= m_real + busy)
            busy = 0;
    }
    if (busy > 0) {
        m_busy.push_back({m_real, m_real + busy});
        advanceTo(m_real + busy);
    }
    const qint64 now = floorDiv(wall(), 1000);
    const auto pickSecond = [&] {
        // A moment that passed while the editor was open, or just before it opened.
        if (editorMark && now > m_editorOpened && chance(0.5))
            return uniform(m_editorOpened - 2, now);
        const double p = std::uniform_real_distribution<>(0, 1)(m_rng);
        if (p < 0.15)
            return now; // the very second of the edit
        if (p < 0.35)
            return now - uniform(1, 3600);
        return now + uniform(1, 7200);
    };
    const auto modelRow = [this](const QString &name) {
        for (int row = 0; row < m_list.rowCount(); ++row) {
            if (m_list.entry(row).name == name)
                return row;
        }
        return -1;
    };
    // Saved from the editor: a moment that passed while it was open sounds now, once; one that
    // had passed when it opened never does.
    const auto saved = [&](const Row &row) {
        if (!editorMark)
            return;
        m_watch.editSaved(*editorMark, modelRow(row.name));
        const bool worldMoved = m_nextWorld != m_worldAtOpen || m_unreported;
        for (const qint64 s : secondsOf(row, m_zone)) {
            if (s > m_editorOpened && s <= now && s >= now - ReminderCheck::kMaxLookBackSeconds)
                m_expected.push_back({row.name, s, m_real, worldMoved});
        }
    };
    const double p = std::uniform_real_distribution<>(0, 1)(m_rng);
    // A list of a few dozen rows: enough to crowd the seconds, few enough to keep a timeline short.
    if (p < 0.08 && !m_sounded.empty() && m_rows.size() < 40) {
        // The last alarm is snoozed: a postponed one-off row a few minutes to a day on, as the
        // alarm window's "Отложи" adds it (its texts in the zone of the moment).
        Row row = rowAt(m_sounded.back().name + QStringLiteral("z%1").arg(++m_rowNumber),
                        now + 60 * std::array{5, 10, 15, 30, 60, 180, 1440}[uniform(0, 6)]);
        m_rows.push_back(row);
        ReminderEntry postponed = entryOf(row);
        postponed.setProperty(QLatin1StringView("X-VELLARO-SNOOZED"), QStringLiteral("1"));
        m_list.addEntry(postponed);
    } else if ((p < 0.45 && m_rows.size() < 40) || m_rows.empty()) {
        Row row = rowAt(QStringLiteral("r%1").arg(++m_rowNumber), pickSecond());
        maybeRepeat(row);
        m_rows.push_back(row);
        const int added = m_list.addEntry(entryOf(row));
        m_advance << m_list.entry(added).id;
        TRACE("%lld added %s %s %s %s", m_real, qPrintable(row.name), qPrintable(row.dateText),
              qPrintable(row.timeText), qPrintable(row.rule));
        saved(row);
    } else {
        const size_t index = size_t(uniform(0, qint64(m_rows.size()) - 1));
        const int listRow = modelRow(m_rows[index].name);
        if (p < 0.6) {
            // A new name only: the list is sorted again and the plan made again, nothing due
            // changes.
            const QString name = m_rows[index].name;
            m_list.setName(listRow, name + QStringLiteral("~"));
            m_list.setName(modelRow(name + QStringLiteral("~")), name);
        } else if (p < 0.85) {
            Row row = rowAt(m_rows[index].name, pickSecond());
            row.rule = m_rows[index].rule;
            const bool moved =
                row.dateText != m_rows[index].dateText || row.timeText != m_rows[index].timeText;
            m_rows[index] = row;
            m_list.setDetail(listRow, 1, row.timeText);
            m_list.setDetail(listRow, 0, row.dateText);
            if (moved)
                saved(row);
            m_advance << m_list.entry(listRow).id;
        } else {
            m_rows.erase(m_rows.begin() + qsizetype(index));
            m_list.removeEntry(listRow);
        }
    }
    return false;
}

// What the program did may have asked the timer for a new moment.
void Timeline::afterProgram()
{
    QCoreApplication::sendPostedEvents();
    moveRepeats();
    // A row moved on plans the check again, as any change of the list does.
    QCoreApplication::sendPostedEvents();
    if (m_timer.armings != m_seenArmings) {
        m_seenArmings = m_timer.armings;
        // Asking again replaces an expiry not yet delivered, as a real timer does.
        TRACE("%lld armed for %s", m_real, qPrintable(m_timer.asked.toString(Qt::ISODateWithMs)));
        m_timerFires = std::max(m_real, m_timer.asked.toMSecsSinceEpoch() - m_offset) +
                       uniform(0, kDeliveryLatencyMs);
    }
}

void Timeline::generate()
{
    m_zone = QTimeZone(kZones[uniform(0, std::size(kZones) - 1)]);
    QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(0, 0), m_zone)
                          .addSecs(uniform(0, 364) * 86400 + uniform(0, 86399));
    // Half of the timelines start shortly before the zone's next change of offset.
    if (chance(0.5) && m_zone.hasTransitions()) {
        const QTimeZone::OffsetData next = m_zone.nextTransition(start);
        if (next.atUtc.isValid() && next.atUtc < start.addDays(366))
            start = next.atUtc.addSecs(-uniform(60, 4 * 3600));
    }
    m_offset = start.toMSecsSinceEpoch() + uniform(0, 999);
    m_real = 0;
    m_end = uniform(2, 72) * 3600 * 1000;
    syncClock();

    // Steps, suspends and zone changes at random moments; a suspend of up to a day.
    qint64 awake = 0;
    for (qint64 t = 0;;) {
        t += uniform(60 * 1000, 6 * 3600 * 1000);
        if (t >= m_end)
            break;
        const double p = std::uniform_real_distribution<>(0, 1)(m_rng);
        if (p < 0.25)
            m_world.push_back(
                {t, Kind::StepForward, uniform(1000, chance(0.2) ? 9 * 86400000LL : 7200000)});
        else if (p < 0.55)
            m_world.push_back({t, Kind::StepBack, uniform(1000, chance(0.3) ? 86400000 : 7200000)});
        else if (p < 0.8) {
            // Up to an hour, a day, or now and then a week (a laptop left shut).
            const qint64 length = uniform(1000, chance(0.05)  ? 7 * 86400000LL
                                                : chance(0.3) ? 86400000
                                                              : 3600000);
            m_world.push_back({t, Kind::Suspend, length});
            awake = std::max(awake, t + length);
            // A laptop that wakes somewhere else: the zone changes as it resumes, reported
            // before the timer's expiry that came during the sleep is served.
            if (chance(0.3))
                m_world.push_back({t + length, Kind::ZoneChange, 1});
        } else if (t > awake) {
            // Otherwise the zone is changed by someone at the desktop, never while it sleeps.
            m_world.push_back({t, Kind::ZoneChange, 0});
        }
    }
    // Not at the end of a suspend that another one outlasts: the machine still sleeps there.
    const std::vector<WorldEvent> all = m_world;
    std::erase_if(m_world, [&all](const WorldEvent &e) {
        return e.kind == Kind::ZoneChange && e.amount == 1 &&
               std::any_of(all.cbegin(), all.cend(), [&e](const WorldEvent &s) {
                   return s.kind == Kind::Suspend && s.at < e.at && e.at < s.at + s.amount;
               });
    });
    std::stable_sort(m_world.begin(), m_world.end(),
                     [](const WorldEvent &a, const WorldEvent &b) { return a.at < b.at; });

    // A list as loaded at start: rows spread around the timeline, some past already.
    const qint64 now = floorDiv(wall(), 1000);
    for (int i = uniform(0, 12); i > 0; --i) {
        const qint64 second = chance(0.2) ? now - uniform(0, 3600) : now + uniform(0, m_end / 1000);
        m_rows.push_back(rowAt(QStringLiteral("r%1").arg(++m_rowNumber), second));
    }
    if (chance(0.3) && !m_rows.empty())
        m_rows.push_back(rowAt(QStringLiteral("r%1").arg(++m_rowNumber), now)); // the first second
    ReminderEntries entries;
    for (Row &row : m_rows) {
        maybeRepeat(row);
        entries.append(entryOf(row));
    }
    m_list.setEntries(entries);
    scheduleEdit();
}

QString Timeline::run()
{
    generate();
    // The second the run starts in may be the first one looked at, or already past by then.
    expect(floorDiv(wall(), 1000), floorDiv(wall(), 1000), m_zone, m_real, true);
    m_watch.start();
    afterProgram();
    // Edits aimed at due seconds can follow each other closely; a timeline ends after this many
    // steps of the program whatever its planned length, so that a run stays bounded.
    int steps = 0;
    for (; steps < 20000; ++steps) {
        std::optional<qint64> next;
        const auto consider = [&](const std::optional<qint64> &t) {
            if (t && (!next || runnableAt(*t) < *next))
                next = runnableAt(*t);
        };
        consider(m_timerFires);
        consider(m_report);
        consider(m_nextEdit);
        if (m_nextWorld < m_world.size() && (!next || m_world[m_nextWorld].at <= *next)) {
            // The world moves first; it may cancel the timer or suspend the machine.
            if (m_world[m_nextWorld].at >= m_end)
                break;
            advanceTo(m_world[m_nextWorld].at);
            continue;
        }
        if (!next || *next >= m_end)
            break;
        advanceTo(*next);
        // Catching up reaches back one week at most: seconds lived since the program last ran
        // that lie further back (a long suspend, then a clock set forward) are not looked at.
        for (Expected &e : m_expected) {
            if (e.lived > m_lastRan &&
                e.second < floorDiv(wall(), 1000) - ReminderCheck::kMaxLookBackSeconds)
                e.optional = true;
        }
        m_lastRan = m_real;
        if (m_report && runnableAt(*m_report) == m_real) {
            m_report.reset();
            m_unreported = false;
            m_zoneBefore.reset();
            ++looks;
            TRACE("%lld report at %s", m_real,
                  qPrintable(m_clock.current.toString(Qt::ISODateWithMs)));
            m_timer.setClock();
            m_advanceAll = true;
        } else if (m_timerFires && runnableAt(*m_timerFires) == m_real) {
            m_timerFires.reset();
            // A long look: the clock moves on while the seconds are walked.
            if (chance(0.1))
                m_slowLookMs = uniform(100, 3000);
            ++looks;
            m_looked = true;
            TRACE("%lld fire at %s slow %lld", m_real,
                  qPrintable(m_clock.current.toString(Qt::ISODateWithMs)), m_slowLookMs);
            m_timer.fire();
        } else {
            TRACE("%lld edit at %s", m_real,
                  qPrintable(m_clock.current.toString(Qt::ISODateWithMs)));
            if (!edit())
                scheduleEdit();
        }
        afterProgram();
    }
    if (steps == 20000)
        m_end = m_real;
    advanceTo(m_end);
    return verify();
}

QString Timeline::verify() const
{
    std::vector<Expected> expected = m_expected;
    QStringList faults;
    for (const Sounded &s : m_sounded) {
        Expected *match = nullptr;
        int rank = 4;
        for (Expected &e : expected) {
            if (e.consumed || e.name != s.name || e.lived > s.at)
                continue;
            const bool inTime = s.at <= deadlineOf(e);
            const int r = !e.optional && inTime ? 0 : e.optional ? 1 : 2;
            if (r < rank || (r == rank && e.lived < match->lived)) {
                match = &e;
                rank = r;
            }
        }
        if (!match)
            faults << QStringLiteral("spurious: %1 sounded at %2 ms").arg(s.name).arg(s.at);
        else if (rank == 2)
            faults << QStringLiteral("late: %1 (second %2) lived at %3 ms, sounded at %4 ms")
                          .arg(s.name)
                          .arg(match->second)
                          .arg(match->lived)
                          .arg(s.at);
        if (match)
            match->consumed = true;
    }
    for (const Expected &e : expected) {
        if (e.optional || e.consumed || deadlineOf(e) >= m_end)
            continue;
        faults << QStringLiteral("missed: %1 due at %2, lived at %3 ms")
                      .arg(e.name,
                           QDateTime::fromSecsSinceEpoch(e.second, m_zone).toString(Qt::ISODate))
                      .arg(e.lived);
    }
    faults << m_repeatFaults;
    if (faults.isEmpty())
        return {};
    return QStringLiteral("seed %1, zone %2: %3")
        .arg(m_seed)
        .arg(QString::fromUtf8(m_zone.id()), faults.join(QStringLiteral("; ")));
}

// The watch over a list, a fake clock and a fake timer, for timelines written out by hand.
struct Watched
{
    FakeClock clock;
    FakeWakeTimer timer;
    LocaleFormats bg = LocaleFormats::fromLocale(QLocale("bg_BG"));
    ReminderListModel list;
    ReminderWatch watch{clock, &timer, list, bg};
    QStringList sounded;

    explicit Watched(const ReminderEntries &rows)
    {
        QObject::connect(&watch, &ReminderWatch::due, [this](const QList<DueReminder> &due) {
            for (const DueReminder &d : due)
                sounded << d.name + u'@' + clock.current.time().toString();
        });
        list.setEntries(rows);
        watch.start();
        settle();
    }
    void settle() { QCoreApplication::sendPostedEvents(); }
    // The timer fires when the clock reaches the moment asked for.
    void sleep()
    {
        if (timer.asked > clock.current)
            clock.current = timer.asked;
        timer.fire();
        settle();
    }
    ReminderEntry row(const QString &name, QTime time) const
    {
        return {name, {bg.dateText(QDate(2026, 12, 9)), bg.timeText(time), QStringLiteral("n")}};
    }
};

QDateTime at(int h, int m, int s, int ms = 0)
{
    return {QDate(2026, 12, 9), QTime(h, m, s, ms)};
}

} // namespace

class TestTimeline : public QObject
{
    Q_OBJECT

private slots:
    // A machine that boots with its clock ahead, starts the program, and has the clock set back
    // by network time: the hours lived again are looked at as they come.
    void clockSetBackBelowTheRunsStart_rowsOfThoseHoursSound()
    {
        Watched w({{"r", {"9.12.26 г.", "11:30:00", "n"}}});
        w.clock.current = at(12, 0, 0);
        w.sleep(); // the run's first look
        w.clock.current = at(11, 0, 0);
        w.timer.setClock();
        w.settle();
        QCOMPARE(w.timer.asked, at(11, 30, 0));
        w.sleep();
        QCOMPARE(w.sounded, QStringList{"r@11:30:00"});
    }

    // An add or an edit to a second already passed never sounds, however late the next wake.
    void addedOrMovedToAPassedSecond_neverSounds()
    {
        Watched w({});
        w.list.addEntry(w.row("moved", QTime(9, 45)));
        w.clock.current = at(9, 0, 0);
        w.sleep();
        w.clock.current = at(9, 30, 0);
        w.list.setDetail(0, 1, "9:15:00");
        w.list.addEntry(w.row("added", QTime(9, 15)));
        // The very second of the edit counts as looked at before the change.
        w.list.addEntry(w.row("this second", QTime(9, 30)));
        w.settle();
        w.clock.current = at(10, 0, 0);
        w.sleep();
        QCOMPARE(w.sounded, QStringList());
        QCOMPARE(w.list.rowCount(), 3);
    }

    // Typed at 9:29:55 for 9:30:00, saved at 9:30:02: it sounds on the save, once. What had
    // passed when the editor opened (its own second included) never sounds.
    void savedFromEditor_momentPassedWhileOpen_soundsOnceOnSave()
    {
        Watched w({});
        w.clock.current = at(9, 0, 0);
        w.sleep();
        w.clock.current = at(9, 29, 55);
        const qint64 opened = w.watch.editStarted();
        w.clock.current = at(9, 30, 2);
        for (const QTime time : {QTime(9, 29, 50), QTime(9, 29, 55), QTime(9, 30, 0)}) {
            const QString name = time.toString();
            w.watch.editSaved(opened, w.list.addEntry(w.row(name, time)));
        }
        w.settle();
        QCOMPARE(w.sounded, QStringList{"09:30:00@09:30:02"});
        w.clock.current = at(10, 0, 0);
        w.sleep();
        QCOMPARE(w.sounded.size(), 1);
    }

    // A handler that runs across the due second and changes the list: the plan made after it
    // asks for a moment already past, so the expiry the new plan replaced is not lost.
    void handlerAcrossTheDueSecond_wakeNotLost()
    {
        Watched w({});
        w.list.addEntry(w.row("due", QTime(9, 0, 31)));
        w.clock.current = at(9, 0, 0);
        w.sleep();
        QCOMPARE(w.timer.asked, at(9, 0, 31));
        w.clock.current = at(9, 0, 31, 20); // the expiry came while the handler ran
        w.list.setName(0, "renamed");
        w.settle();
        QVERIFY(w.timer.asked <= w.clock.current);
        w.timer.fire();
        QCOMPARE(w.sounded, QStringList{"renamed@09:00:31"});
    }

    // A long look: the clock moves on while the seconds are walked; what fell due meanwhile is
    // looked at right after it.
    void longLook_secondsItTookAreLookedAtRightAfter()
    {
        Watched w({});
        w.list.addEntry(w.row("during", QTime(9, 0, 1)));
        w.clock.current = at(9, 0, 0, 600);
        w.clock.afterRead = [&w] {
            w.clock.afterRead = nullptr;
            w.clock.current = at(9, 0, 1, 100);
        };
        w.timer.fire();
        w.settle();
        QVERIFY(w.timer.asked <= w.clock.current);
        w.timer.fire();
        QCOMPARE(w.sounded, QStringList{"during@09:00:01"});
    }

    void everySecondAsTheOracleSays()
    {
        const QByteArray budget = qgetenv("VELLARO_TIMELINE_SECONDS");
        const QByteArray replay = qgetenv("VELLARO_TIMELINE_SEED");
        std::vector<quint64> seeds;
        quint64 base = 1;
        if (!replay.isEmpty())
            seeds.push_back(replay.toULongLong());
        else if (!budget.isEmpty())
            base = std::random_device{}() ^ quint64(QDateTime::currentMSecsSinceEpoch());
        else {
            const char *const fixedName = "VELLARO_TIMELINE_FIXED";
            const int fixed = qEnvironmentVariableIsSet(fixedName)
                                  ? std::max(1, qEnvironmentVariableIntValue(fixedName))
                                  : 30;
            for (int s = 1; s <= fixed; ++s)
                seeds.push_back(quint64(s));
        }

        QElapsedTimer elapsed;
        elapsed.start();
        const qint64 budgetMs = budget.toLongLong() * 1000;
        int timelines = 0;
        qint64 looks = 0;
        for (size_t i = 0;; ++i) {
            quint64 seed;
            if (!seeds.empty()) {
                if (i >= seeds.size())
                    break;
                seed = seeds[i];
            } else {
                if (elapsed.elapsed() >= budgetMs)
                    break;
                seed = base + i;
            }
            Timeline timeline(seed);
            const QString fault = timeline.run();
            ++timelines;
            looks += timeline.looks;
            if (!fault.isEmpty())
                QFAIL(qPrintable(fault));
        }
        qInfo("%d timelines, %lld looks at the clock, none missed, late or spurious", timelines,
              looks);
    }
};

QTEST_GUILESS_MAIN(TestTimeline)
#include "tst_timeline.moc"
