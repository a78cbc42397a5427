// The CSV export of a full 99 x 99 run (9,801 lookup rows, 99 summary rows) through the sort
// proxies, as the window and the command-line tool make it: the time to build the text from
// the lists, and the time to write it whole, as medians over several repetitions.
//
// Usage: bench_export [repetitions]

#include "core/export/csvexport.h"
#include "core/export/wholefile.h"
#include "core/results/resultmodels.h"
#include "core/results/resultsortproxy.h"
#include "core/results/statistics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

using namespace tarnbell::core;

namespace {

constexpr int kServers = 99;
constexpr int kDomains = 99;

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    const auto n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double millisecondsSince(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 15;

    LookupTableModel lookups;
    SummaryTableModel summary;
    ResultSortProxy lookupOrder(ResultSortProxy::List::Lookups);
    ResultSortProxy summaryOrder(ResultSortProxy::List::Summary);
    lookupOrder.setSourceModel(&lookups);
    summaryOrder.setSourceModel(&summary);
    for (int s = 0; s < kServers; ++s) {
        const QString server = QStringLiteral("192.0.2.%1 - bench").arg(s + 1);
        for (int d = 0; d < kDomains; ++d) {
            const double ms = (s * 7 + d * 13) % 997;
            const int row = lookups.appendLookup(server, QStringLiteral("d%1.bench.test").arg(d));
            lookups.setResult(row, ms / 1000.0);
        }
        const double mean = (s * 37) % 500 + 0.25;
        summary.appendSummary({server, mean, mean, mean, false, {}});
        summaryOrder.resortByMean();
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.csv"));
    QList<double> build;
    QList<double> write;
    qsizetype bytes = 0;
    for (int i = 0; i < repetitions; ++i) {
        QElapsedTimer clock;
        clock.start();
        const QByteArray file =
            exportFileBytes(exportText(snapshotTable(lookupOrder), snapshotTable(summaryOrder)));
        build.append(millisecondsSince(clock));
        clock.restart();
        if (const QString problem = writeWholeFile(path, file); !problem.isEmpty()) {
            QTextStream(stderr) << problem << '\n';
            return 1;
        }
        write.append(millisecondsSince(clock));
        bytes = file.size();
    }

    QTextStream out(stdout);
    out << "export of " << lookups.rowCount() << " lookup rows and " << summary.rowCount()
        << " summary rows (" << bytes << " bytes), median of " << repetitions << ":\n"
        << "  build the text: " << median(build) << " ms\n"
        << "  write it whole: " << median(write) << " ms\n"
        << "  write / build:  " << median(write) / median(build) << '\n';
    return 0;
}
