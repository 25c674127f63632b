// Writes a list file of realistic entries, saved in the order of a column as the program saves
// it (by name unless told), for measurements with a long list: bench_makelist PATH COUNT [COLUMN]
#include "benchdata.h"
#include "core/error.h"
#include "core/listfile.h"
#include "core/reminderlistmodel.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool numeric = false;
    const int count = args.size() == 3 || args.size() == 4 ? args.at(2).toInt(&numeric) : 0;
    const int column = args.size() == 4 ? args.at(3).toInt() : 0;
    if (!numeric || count < 0 || column < 0 || column > 3) {
        std::fprintf(stderr, "usage: bench_makelist PATH COUNT [COLUMN 0-3]\n");
        return 2;
    }
    try {
        vellaro::ReminderListModel model;
        model.setSortColumn(column);
        model.setEntries(vellaro::bench::realisticEntries(count));
        vellaro::listfile::save(args.at(1), model.rows());
    } catch (const vellaro::Error &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
