// What `cmake --install` puts on a system, installed into a scratch folder: both programs,
// the desktop entry, the icon, the AppStream metainfo and the manual page, checked by the
// validators a distribution runs and against each other.

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Exit status and merged output, -1 when the program did not run to its end.
std::pair<int, QString> run(const QString& program, const QStringList& arguments,
                            const QString& destdir = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DESTDIR"), destdir);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, process.errorString()};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

const QString kId = QStringLiteral("org.tarnbell.Tarnbell");

} // namespace

class TestInstall final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const auto [status, output] = run(
            QStringLiteral(TARNBELL_CMAKE),
            {"--install", QStringLiteral(TARNBELL_BUILD_DIR), "--prefix", "/usr"}, m_root.path());
        QVERIFY2(status == 0, qPrintable(output));
        m_usr = QDir(m_root.filePath(QStringLiteral("usr")));
    }

    void installedFiles_data() {
        QTest::addColumn<QString>("path");      // under /usr
        QTest::addColumn<QStringList>("check"); // a validator and its options, or none
        QTest::newRow("window") << "bin/tarnbell" << QStringList();
        QTest::newRow("command line") << "bin/tarnbell-cli" << QStringList();
        QTest::newRow("icon") << "share/icons/hicolor/scalable/apps/" + kId + ".svg"
                              << QStringList();
        QTest::newRow("desktop entry")
            << "share/applications/" + kId + ".desktop" << QStringList{"desktop-file-validate"};
        QTest::newRow("metainfo") << "share/metainfo/" + kId + ".metainfo.xml"
                                  << QStringList{"appstreamcli", "validate", "--no-net"};
        // man's own parser: warnings about the page's markup fail the check.
        QTest::newRow("manual page") << "share/man/man1/tarnbell-cli.1"
                                     << QStringList{"man", "--warnings", "-E", "UTF-8", "-l"};
    }
    void installedFiles() {
        QFETCH(QString, path);
        QFETCH(QStringList, check);
        const QString file = m_usr.filePath(path);
        QVERIFY2(QFileInfo(file).size() > 0, qPrintable(file));
        if (check.isEmpty())
            return;
        if (QStandardPaths::findExecutable(check.first()).isEmpty()) {
            if (qEnvironmentVariableIsSet("TARNBELL_REQUIRE_INTEGRATION"))
                QFAIL(qPrintable(check.first() + " is not installed"));
            QSKIP("the validator is not installed (scripts/install-deps --test)");
        }
        const bool man = check.first() == QStringLiteral("man");
        const auto [status, output] = run(check.takeFirst(), check << file);
        QVERIFY2(status == 0 && !(man && output.contains(QStringLiteral("warning"))),
                 qPrintable(output));
    }

    // The entry starts a program that is installed and names an icon that is installed, and
    // the metainfo launches that entry.
    void desktopEntryMatchesInstall() {
        QSettings entry(m_usr.filePath("share/applications/" + kId + ".desktop"),
                        QSettings::IniFormat);
        entry.beginGroup(QStringLiteral("Desktop Entry"));
        const QString exec = entry.value(QStringLiteral("Exec")).toString().section(' ', 0, 0);
        QVERIFY(QFileInfo(m_usr.filePath("bin/" + exec)).isExecutable());
        QVERIFY(QFileInfo::exists(m_usr.filePath("share/icons/hicolor/scalable/apps/" +
                                                 entry.value("Icon").toString() + ".svg")));
        QFile metainfo(m_usr.filePath("share/metainfo/" + kId + ".metainfo.xml"));
        QVERIFY(metainfo.open(QIODevice::ReadOnly));
        QVERIFY(metainfo.readAll().contains(">" + kId.toUtf8() + ".desktop</launchable>"));
    }

private:
    QTemporaryDir m_root;
    QDir m_usr;
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
