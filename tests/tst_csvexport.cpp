// The export text built from the result lists, and the whole-or-nothing file write.

#include "core/csvexport.h"
#include "core/wholefile.h"
#include "fixtures/readonlydir.h"

#include <QAbstractTableModel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSortFilterProxyModel>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnbell::core;

namespace {

const QStringList kLookupTitles{"Domain", "DNS Server", "Response Time", "Real Response Time"};
const QStringList kSummaryTitles{"DNS Server", "Mean Response", "Real Mean Response Time",
                                 "Median Response", "Real Median Response Time"};

// A result list built by hand: titles and rows of display texts.
class TextTable final : public QAbstractTableModel {
public:
    TextTable(QStringList titles, QList<QStringList> rows)
        : m_titles(std::move(titles)), m_rows(std::move(rows)) {}
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_titles.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        return m_rows.at(index.row()).value(index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return m_titles.value(section);
    }

private:
    QStringList m_titles;
    QList<QStringList> m_rows;
};

const QList<QStringList> kLookupRows{
    {"ns1.example - lab", "example.com", "47 ms", "00000047"},
    {"ns1.example - lab", "example.org", "120 ms", "00000120"},
    {"10.0.0.9", "example.com", "10000 ms", "00010000"},
};
const QList<QStringList> kSummaryRows{
    {"ns1.example - lab", "83 ms", "00000083", "83 ms", "00000083"},
    {"10.0.0.9", "10000 ms", "00010000", "10000 ms", "00010000"},
};

QString runExport(const QList<QStringList>& lookups, const QList<QStringList>& summary) {
    const TextTable lv(kLookupTitles, lookups);
    const TextTable sum(kSummaryTitles, summary);
    return exportText(snapshotTable(lv, kLookupColumnWidths),
                      snapshotTable(sum, kSummaryColumnWidths));
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return bytes;
}

} // namespace

class TestCsvExport final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void emptyListsGiveTwoHeadersAndEmptyLines();
    void rowsAfterARun();
    void columnWidthsDecide_data();
    void columnWidthsDecide();
    void quoteInsideFieldIsDoubled();
    void rowsFollowTheCurrentOrder();
    void textBeyondAsciiIsUtf8();

    void writeReplacesAnExistingFile();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void diskFullMidWriteLeavesNoPartialFile();
    void pipeIsWrittenInPlace();
};

void TestCsvExport::emptyListsGiveTwoHeadersAndEmptyLines() {
    QCOMPARE(exportFileBytes(runExport({}, {})),
             QByteArray("\"Domain\",\"DNS Server\",\"Response Time\"\r\n"
                        "\r\n"
                        "\r\n"
                        "\"DNS Server\",\"Mean Response\",\"Median Response\"\r\n"
                        "\r\n"));
}

void TestCsvExport::rowsAfterARun() {
    QCOMPARE(runExport(kLookupRows, kSummaryRows),
             QString("\"Domain\",\"DNS Server\",\"Response Time\"\r\n"
                     "\"ns1.example - lab\",\"example.com\",\"47 ms\"\r\n"
                     "\"ns1.example - lab\",\"example.org\",\"120 ms\"\r\n"
                     "\"10.0.0.9\",\"example.com\",\"10000 ms\"\r\n"
                     "\r\n\r\n"
                     "\"DNS Server\",\"Mean Response\",\"Median Response\"\r\n"
                     "\"ns1.example - lab\",\"83 ms\",\"83 ms\"\r\n"
                     "\"10.0.0.9\",\"10000 ms\",\"10000 ms\"\r\n"));
}

void TestCsvExport::columnWidthsDecide_data() {
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<QString>("expected");

    const QList<QStringList> rows{{"a", "b", "c", "d", "e"}};
    QTest::newRow("hidden key dragged open to 2")
        << QList<int>{200, 107, 2, 107, 0}
        << "\"DNS Server\",\"Mean Response\",\"Real Mean Response Time\",\"Median Response\"\r\n"
           "\"a\",\"b\",\"c\",\"d\"\r\n";
    QTest::newRow("visible column shrunk to 1")
        << QList<int>{200, 1, 0, 107, 0} << "\"DNS Server\",\"Median Response\"\r\n\"a\",\"d\"\r\n";
    QTest::newRow("last column never, even when wide")
        << QList<int>{200, 107, 0, 107, 300}
        << "\"DNS Server\",\"Mean Response\",\"Median Response\"\r\n\"a\",\"b\",\"d\"\r\n";
    QTest::newRow("missing widths count as hidden")
        << QList<int>{200} << "\"DNS Server\"\r\n\"a\"\r\n";
    // Nothing to write: each row is an empty line, and no character of another line goes.
    QTest::newRow("no column wider than 1") << QList<int>{1, 0, 1, 0, 900} << "\r\n\r\n";
}

void TestCsvExport::columnWidthsDecide() {
    QFETCH(QList<int>, widths);
    QFETCH(QString, expected);
    const TextTable summary(kSummaryTitles, {{"a", "b", "c", "d", "e"}});
    QCOMPARE(csvRows(snapshotTable(summary, widths)), expected);
}

void TestCsvExport::quoteInsideFieldIsDoubled() {
    const QString text = runExport({{"10.0.0.1 - \"fast\" one", "a,b.example", "5 ms", "x"}}, {});
    QVERIFY2(text.contains("\r\n\"10.0.0.1 - \"\"fast\"\" one\",\"a,b.example\",\"5 ms\"\r\n"),
             qPrintable(text));
}

void TestCsvExport::rowsFollowTheCurrentOrder() {
    // Sorted by the hidden key, as the window sorts by it: 95, 120, 1005 ms.
    TextTable lv(kLookupTitles, {{"s", "a", "1005 ms", "00001005"},
                                 {"s", "b", "95 ms", "00000095"},
                                 {"s", "c", "120 ms", "00000120"}});
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&lv);
    proxy.sort(3, Qt::AscendingOrder);
    QCOMPARE(csvRows(snapshotTable(proxy, kLookupColumnWidths)),
             QString("\"Domain\",\"DNS Server\",\"Response Time\"\r\n"
                     "\"s\",\"b\",\"95 ms\"\r\n\"s\",\"c\",\"120 ms\"\r\n"
                     "\"s\",\"a\",\"1005 ms\"\r\n"));
    proxy.sort(3, Qt::DescendingOrder);
    QCOMPARE(snapshotTable(proxy, kLookupColumnWidths).rows.first().at(1), QString("a"));
}

void TestCsvExport::textBeyondAsciiIsUtf8() {
    const QByteArray bytes = exportFileBytes(
        runExport({{"10.0.0.1 - Zürich", "bücher.example", "5 ms", "00000005"}}, {}));
    QVERIFY(bytes.contains("\"10.0.0.1 - Z\xc3\xbcrich\",\"b\xc3\xbc"
                           "cher.example\""));
    QVERIFY(!bytes.startsWith("\xef\xbb\xbf"));
}

void TestCsvExport::writeReplacesAnExistingFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("results.csv");
    writeFile(path, QByteArray(5000, 'x'));
    const QByteArray bytes = exportFileBytes(runExport(kLookupRows, kSummaryRows));
    QCOMPARE(writeWholeFile(path, bytes), QString());
    QCOMPARE(readAll(path), bytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"results.csv"});
}

void TestCsvExport::failedWriteKeepsTheOldFile_data() {
    QTest::addColumn<QString>("target"); // relative to a fresh directory
    QTest::addColumn<bool>("readOnlyDir");
    QTest::newRow("read-only folder, file exists") << "old.csv" << true;
    QTest::newRow("read-only folder, new file") << "new.csv" << true;
    QTest::newRow("name of a folder") << "sub" << false;
    QTest::newRow("parent is a file") << "old.csv/inside.csv" << false;
    QTest::newRow("missing parent folder") << "missing/out.csv" << false;
}

void TestCsvExport::failedWriteKeepsTheOldFile() {
    QFETCH(QString, target);
    QFETCH(bool, readOnlyDir);
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("target");
    QVERIFY(QDir().mkpath(dir + "/sub"));
    const QByteArray old = writeFile(dir + "/old.csv", "old contents\r\n");
    const QStringList before = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden);

    std::optional<tarnbell::testing::ReadOnlyDir> guard;
    if (readOnlyDir) {
        guard.emplace(dir);
        if (!guard->isReadOnly())
            QSKIP("cannot make a folder read-only here");
    }
    const QString error = writeWholeFile(dir + "/" + target, "new contents\r\n");
    QVERIFY(error.startsWith("The file " + QDir::toNativeSeparators(dir + "/" + target) +
                             " could not be written: "));
    QVERIFY(error.endsWith('.'));
    QCOMPARE(checkWritable(dir + "/" + target).isEmpty(), false);
    guard.reset();
    QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(readAll(dir + "/old.csv"), old);
}

void TestCsvExport::diskFullMidWriteLeavesNoPartialFile() {
    // A file-size limit fails the write after the first bytes are on disk, as a full disk
    // would; the old file must survive and the temporary file must go.
    QTemporaryDir dir;
    const QString path = dir.filePath("results.csv");
    const QByteArray old = writeFile(path, "old contents\r\n");

    rlimit saved{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
    const QString error = writeWholeFile(path, QByteArray(1 << 20, 'y'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"results.csv"});
}

void TestCsvExport::pipeIsWrittenInPlace() {
    // A device or a pipe (/dev/null, /dev/stdout) must stay what it is: no temporary file
    // may be renamed over it.
    QTemporaryDir dir;
    const QString path = dir.filePath("pipe");
    QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QCOMPARE(checkWritable(path), QString());
    QCOMPARE(writeWholeFile(path, "through the pipe\r\n"), QString());
    char buffer[64] = {};
    const auto got = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    QCOMPARE(QByteArray(buffer, int(got)), QByteArray("through the pipe\r\n"));
    QVERIFY(!QFileInfo(path).isFile());
    QCOMPARE(QDir(dir.path())
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList{"pipe"});
}

QTEST_GUILESS_MAIN(TestCsvExport)
#include "tst_csvexport.moc"
