// The stored date and time texts of several locales. Any text either reads as a valid date or
// time or is refused with the program's error; what reads must give the same text's meaning back
// when written and read again; and every date and time the program writes must read back as
// itself.
#include "core/error.h"
#include "core/localeformats.h"
#include "fuzz/fuzzcheck.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>

using namespace vellaro;

namespace {

const LocaleFormats &formatsFor(uint8_t pick)
{
    // Day-month-year, month-day-year and year-month-day orders; 12-hour clocks with the marker
    // before or after; month names; literal text after the year.
    static const char *const names[] = {"bg_BG", "en_US", "de_DE", "ko_KR", "fr_FR", "ja_JP",
                                        "ru_RU", "en_GB", "zh_CN", "hu_HU", "es_MX", "C"};
    static const auto all = [] {
        std::vector<LocaleFormats> formats;
        for (const char *name : names)
            formats.push_back(LocaleFormats::fromLocale(QLocale(QString::fromLatin1(name))));
        return formats;
    }();
    return all[pick % all.size()];
}

std::optional<QDate> readDate(const LocaleFormats &f, const QString &text, int referenceYear)
{
    try {
        const QDate date = f.parseDateText(text, referenceYear);
        FUZZ_CHECK(date.isValid());
        return date;
    } catch (const Error &e) {
        FUZZ_CHECK(e.message().endsWith(QLatin1String("' is not a valid date")));
        return std::nullopt;
    }
}

std::optional<QTime> readTime(const LocaleFormats &f, const QString &text)
{
    try {
        const QTime time = f.parseTimeText(text);
        FUZZ_CHECK(time.isValid());
        return time;
    } catch (const Error &e) {
        FUZZ_CHECK(e.message() == QStringLiteral("'%1' is not a valid time").arg(text));
        return std::nullopt;
    }
}

template <typename T> T take(const uint8_t *&data, size_t &size)
{
    T value{};
    const size_t n = std::min(size, sizeof value);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const LocaleFormats &f = formatsFor(take<uint8_t>(data, size));
    const int referenceYear = 1950 + take<uint8_t>(data, size);

    // A date and a time picked by the input, written and read back.
    const QDate date = QDate(1, 1, 1).addDays(take<uint32_t>(data, size) % 3652059);
    const QTime time = QTime(0, 0).addSecs(int(take<uint32_t>(data, size) % 86400));
    FUZZ_CHECK(readDate(f, f.dateText(date), date.year()) == date);
    FUZZ_CHECK(readTime(f, f.timeText(time)) == time);

    // The rest as a stored text.
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto read = readDate(f, text, referenceYear))
        FUZZ_CHECK(readDate(f, f.dateText(*read), read->year()) == read);
    if (const auto read = readTime(f, text))
        FUZZ_CHECK(readTime(f, f.timeText(*read)) == read);
    return 0;
}
