// Any bytes read as a list file: the reading must not fail, and what it gives must survive a save
// unchanged: the saved bytes read back to the same list, and saving that gives the same bytes.
#include "core/listfile.h"
#include "fuzz/fuzzcheck.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <iterator>

using namespace vellaro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Files that are not UTF-8 are read in the code page of the user's language; the first byte
    // picks one, so every code page sees every kind of input.
    static const char *const codePages[] = {"windows-1251", "windows-1252", "windows-1250",
                                            "windows-1253", "windows-1255", "windows-874"};
    const char *codePage = codePages[size > 0 ? data[0] % std::size(codePages) : 0];

    const QByteArray file =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const ReminderEntries loaded = listfile::parse(file, codePage);
    const QByteArray saved = listfile::serialize(loaded);

    FUZZ_CHECK(!saved.contains('\0'));
    FUZZ_CHECK(QByteArrayView(saved).isValidUtf8());
    FUZZ_CHECK(saved.isEmpty() || saved.endsWith("\r\n"));

    const ReminderEntries reloaded = listfile::parse(saved, codePage);
    FUZZ_CHECK(reloaded == loaded);
    FUZZ_CHECK(listfile::serialize(reloaded) == saved);
    return 0;
}
