// The export text built from the result lists, and the whole-or-nothing file write.

#include "core/export/csvexport.h"
#include "core/export/wholefile.h"
#include "fixtures/readonlydir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarnbell::core;

namespace {

const QStringList kLookupTitles{"Domain", "DNS Server", "Response Time", "Real Response Time"};
const QStringList kSummaryTitles{"DNS Server", "Mean Response", "Real Mean Response Time",
                                 "Median Response", "Real Median Response Time"};

// Every lookup column shown, and a summary with the mean's sort key dragged open; the models'
// own reading is covered where the window and the command-line tool export.
QByteArray exportOf(const QList<QStringList>& lookups, const QList<QStringList>& summary) {
    return exportFileBytes(exportText({kLookupTitles, {true, true, true, true}, lookups},
                                      {kSummaryTitles, {true, true, true, true, false}, summary}));
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

    // The shown columns go out but the last, the sort key of the column before it, never; a
    // quote inside a field is doubled. A cell a spreadsheet would run as a formula gets an
    // apostrophe; one with such a sign further in, or after a quote, stays as it is. UTF-8
    // without a byte-order mark.
    void exportBytes() {
        QCOMPARE(exportOf({{"=HYPERLINK(\"x\")", "10.0.0.1 - a=b", "+1", "0"},
                           {"@SUM(A1)", "-2", "\tx", "0"},
                           {"\r=1", "\"=1\"", "x-1", "0"}},
                          {{"Z\u00fcrich", "83 ms", "00000083", "80 ms", "00000080"}}),
                 QByteArray("\"Domain\",\"DNS Server\",\"Response Time\"\r\n"
                            "\"'=HYPERLINK(\"\"x\"\")\",\"10.0.0.1 - a=b\",\"'+1\"\r\n"
                            "\"'@SUM(A1)\",\"'-2\",\"'\tx\"\r\n"
                            "\"'\r=1\",\"\"\"=1\"\"\",\"x-1\"\r\n"
                            "\r\n\r\n"
                            "\"DNS Server\",\"Mean Response\",\"Real Mean Response Time\","
                            "\"Median Response\"\r\n"
                            "\"Z\xc3\xbcrich\",\"83 ms\",\"00000083\",\"80 ms\"\r\n"
                            "\r\n"));
    }

    // In a read-only folder no temporary file fits beside the old one: the file itself is
    // written, its links and owner kept, and nothing is added to the folder.
    void readOnlyFolderWritesInPlace() {
        QTemporaryDir tmp;
        const QString dir = tmp.filePath("target");
        QVERIFY(QDir().mkpath(dir));
        writeFile(dir + "/old.csv", "old contents\r\n");
        const QByteArray oldPath = QFile::encodeName(dir + "/old.csv");
        QVERIFY(::link(oldPath.constData(), QFile::encodeName(dir + "/twin.csv").constData()) == 0);
        if (::geteuid() == 0) // someone else's file, which root may write
            QVERIFY(::chown(oldPath.constData(), 65534, 65534) == 0);
        struct stat before {};
        QVERIFY(::stat(oldPath.constData(), &before) == 0);
        std::optional<tarnbell::testing::ReadOnlyDir> guard(std::in_place, dir);
        if (!guard->isReadOnly())
            QSKIP("cannot make a folder read-only here");
        QCOMPARE(checkWritable(dir + "/old.csv"), QString());
        QCOMPARE(writeWholeFile(dir + "/old.csv", "new contents\r\n"), QString());
        guard.reset();
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"old.csv", "twin.csv"}));
        struct stat after {};
        QVERIFY(::stat(oldPath.constData(), &after) == 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_uid, before.st_uid);
        QCOMPARE(readAll(dir + "/twin.csv"), QByteArray("new contents\r\n"));
    }

    // A file-size limit fails the write after the first bytes are on disk, as a full disk
    // would: the old file survives, and no temporary file is left behind either way.
    void shortWriteKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("results.csv");
        const QByteArray old = writeFile(path, "old contents\r\n");
        const QByteArray bytes(1 << 20, 'y');

        rlimit saved{};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        rlimit limited = saved;
        limited.rlim_cur = 4096;
        auto* previous = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
        const QString error = writeWholeFile(path, bytes);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(path), old);
        QCOMPARE(writeWholeFile(path, bytes), QString());
        QCOMPARE(readAll(path), bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"results.csv"});
    }
};

QTEST_GUILESS_MAIN(TestCsvExport)
#include "tst_csvexport.moc"
