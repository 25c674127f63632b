// Writes a list file of realistic entries, sorted by name as the program keeps it, for start-up
// measurements with a long list: bench_makelist PATH COUNT
#include "benchdata.h"
#include "error.h"
#include "listfile.h"
#include "reminderlistmodel.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool numeric = false;
    const int count = args.size() == 3 ? args.at(2).toInt(&numeric) : 0;
    if (!numeric || count < 0) {
        std::fprintf(stderr, "usage: bench_makelist PATH COUNT\n");
        return 2;
    }
    try {
        vellaro::ReminderListModel model;
        model.setEntries(vellaro::bench::realisticEntries(count));
        vellaro::listfile::save(args.at(1), model.entries());
    } catch (const vellaro::Error &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
