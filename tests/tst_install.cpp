// What `cmake --install` puts on a system, installed into a scratch folder: both programs,
// the desktop entry, the icon, the AppStream metainfo and the manual pages, checked by the
// validators a distribution runs and against the desktop entry, and both programs' --help
// and --version.

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kId = QStringLiteral("org.tarnbell.Tarnbell");

// Exit status and merged output, -1 when the program did not run to its end.
std::pair<int, QString> run(const QString& program, const QStringList& arguments,
                            const QString& destdir = {}) {
    QProcess process;
    process.setEnvironment(QProcess::systemEnvironment() << "DESTDIR=" + destdir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ran =
        process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
    return {ran ? process.exitCode() : -1, QString::fromUtf8(process.readAll())};
}

} // namespace

class TestInstall final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const auto [status, output] = run(
            QStringLiteral(TARNBELL_CMAKE),
            {"--install", QStringLiteral(TARNBELL_BUILD_DIR), "--prefix", "/usr"}, m_root.path());
        QVERIFY2(status == 0, qPrintable(output));
    }

    // The desktop entry starts the window and shows the icon as installed. Man's own parser:
    // warnings about the page's markup fail the check.
    void installedFiles_data() {
        QTest::addColumn<QString>("path");      // under /usr
        QTest::addColumn<QStringList>("check"); // a validator and its options, or none
        const QSettings entry(usr("share/applications/" + kId + ".desktop"), QSettings::IniFormat);
        const QString exec = entry.value("Desktop Entry/Exec").toString().section(' ', 0, 0);
        QTest::newRow("window") << "bin/" + exec << QStringList();
        QTest::newRow("command line") << "bin/tarnbell-cli" << QStringList();
        QTest::newRow("icon") << "share/icons/hicolor/scalable/apps/" +
                                     entry.value("Desktop Entry/Icon").toString() + ".svg"
                              << QStringList();
        QTest::newRow("desktop entry")
            << "share/applications/" + kId + ".desktop" << QStringList{"desktop-file-validate"};
        QTest::newRow("metainfo") << "share/metainfo/" + kId + ".metainfo.xml"
                                  << QStringList{"appstreamcli", "validate", "--no-net"};
        const QStringList man{"man", "--warnings", "-E", "UTF-8", "-l"};
        QTest::newRow("manual page") << "share/man/man1/tarnbell-cli.1.gz" << man;
        QTest::newRow("window's manual page") << "share/man/man1/tarnbell.1.gz" << man;
    }
    void installedFiles() {
        QFETCH(QString, path);
        QFETCH(QStringList, check);
        const QString file = usr(path);
        QVERIFY2(QFileInfo(file).isFile() && QFileInfo(file).size() > 0, qPrintable(file));
        QFile gzip(file); // as `gzip -9n` writes it: best compression, no name, no time stamp
        if (path.endsWith(".gz") && gzip.open(QIODevice::ReadOnly))
            QCOMPARE(gzip.read(9).toHex(), QByteArray("1f8b08000000000002"));
        if (check.isEmpty())
            return;
        if (QStandardPaths::findExecutable(check.first()).isEmpty()) {
            if (qEnvironmentVariableIsSet("TARNBELL_REQUIRE_INTEGRATION"))
                QFAIL(qPrintable(check.first() + " is not installed"));
            QSKIP("the validator is not installed (scripts/install-deps --test)");
        }
        const auto [status, output] = run(check.takeFirst(), check << file);
        QVERIFY2(status == 0 && !output.contains(QStringLiteral("warning")), qPrintable(output));
    }

    // Both answer without a window system, in lines of at most 80 columns that name every
    // transport.
    void helpAndVersion_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("window") << "tarnbell";
        QTest::newRow("command line") << "tarnbell-cli";
    }
    void helpAndVersion() {
        QFETCH(QString, program);
        const auto [status, version] = run(usr("bin/" + program), {"--version"});
        QCOMPARE(version, program + " " TARNBELL_VERSION "\n");
        const auto [helpStatus, help] = run(usr("bin/" + program), {"--help"});
        QVERIFY(status == 0 && helpStatus == 0 && help.contains("UDP, TCP, DNS over TLS"));
        for (const QString& line : help.split('\n'))
            QVERIFY2(line.size() <= 80, qPrintable(line));
    }

private:
    QString usr(const QString& path) const { return m_root.filePath("usr/" + path); }

    QTemporaryDir m_root;
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
