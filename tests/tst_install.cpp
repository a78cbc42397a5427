// What `cmake --install` puts on a system, installed into a scratch folder: both programs,
// the desktop entry, the icon, the AppStream metainfo and the manual page, checked by the
// validators a distribution runs and against each other.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Ran {
    int exitCode = -1;
    QString output;
};

Ran run(const QString& program, const QStringList& arguments, const QString& destdir = {}) {
    QProcess process;
    if (!destdir.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), destdir);
        process.setProcessEnvironment(environment);
    }
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, process.errorString()};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

// A validator from a Debian package; missing, the test is skipped unless the run requires
// every check (scripts/test does).
bool haveTool(const QString& name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

} // namespace

class TestInstall final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void installedFiles_data();
    void installedFiles();
    void desktopEntryMatchesInstall();

private:
    QTemporaryDir m_root;
    QString m_usr;
};

void TestInstall::initTestCase() {
    QVERIFY(m_root.isValid());
    const Ran installed =
        run(QStringLiteral(TARNBELL_CMAKE),
            {"--install", QStringLiteral(TARNBELL_BUILD_DIR), "--prefix", "/usr"}, m_root.path());
    QVERIFY2(installed.exitCode == 0, qPrintable(installed.output));
    m_usr = m_root.filePath(QStringLiteral("usr"));
}

void TestInstall::installedFiles_data() {
    QTest::addColumn<QString>("path");      // under /usr
    QTest::addColumn<QString>("validator"); // its check, "" for none
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("window") << "bin/tarnbell" << QString() << QStringList();
    QTest::newRow("command line") << "bin/tarnbell-cli" << QString() << QStringList();
    QTest::newRow("desktop entry") << "share/applications/org.tarnbell.Tarnbell.desktop"
                                   << "desktop-file-validate" << QStringList();
    QTest::newRow("metainfo") << "share/metainfo/org.tarnbell.Tarnbell.metainfo.xml"
                              << "appstreamcli" << QStringList{"validate", "--no-net"};
    QTest::newRow("icon") << "share/icons/hicolor/scalable/apps/org.tarnbell.Tarnbell.svg"
                          << QString() << QStringList();
    // man's own parser: warnings about the page's markup fail the check.
    QTest::newRow("manual page") << "share/man/man1/tarnbell-cli.1"
                                 << "man" << QStringList{"--warnings", "-E", "UTF-8", "-l"};
}

void TestInstall::installedFiles() {
    QFETCH(QString, path);
    QFETCH(QString, validator);
    QFETCH(QStringList, arguments);
    const QString file = QDir(m_usr).filePath(path);
    QVERIFY2(QFileInfo(file).isFile() && QFileInfo(file).size() > 0, qPrintable(file));
    if (validator.isEmpty())
        return;
    if (!haveTool(validator)) {
        if (qEnvironmentVariableIsSet("TARNBELL_REQUIRE_INTEGRATION"))
            QFAIL(qPrintable(validator + " is not installed"));
        QSKIP("the validator is not installed (scripts/install-deps --test)");
    }
    const Ran checked = run(validator, arguments << file);
    QVERIFY2(checked.exitCode == 0, qPrintable(checked.output));
    if (validator == QStringLiteral("man")) {
        QVERIFY2(!checked.output.contains(QStringLiteral("warning")), qPrintable(checked.output));
        QVERIFY(checked.output.contains(QStringLiteral("--server")));
    }
}

// The entry starts a program that is installed and names an icon that is installed, and the
// metainfo launches that entry.
void TestInstall::desktopEntryMatchesInstall() {
    const QString id = QStringLiteral("org.tarnbell.Tarnbell");
    QSettings entry(QDir(m_usr).filePath("share/applications/" + id + ".desktop"),
                    QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    const QString exec = entry.value(QStringLiteral("Exec")).toString().section(' ', 0, 0);
    QVERIFY(QFileInfo(QDir(m_usr).filePath("bin/" + exec)).isExecutable());
    const QString icon = entry.value(QStringLiteral("Icon")).toString();
    QVERIFY(QFileInfo::exists(
        QDir(m_usr).filePath("share/icons/hicolor/scalable/apps/" + icon + ".svg")));

    QFile metainfo(QDir(m_usr).filePath("share/metainfo/" + id + ".metainfo.xml"));
    QVERIFY(metainfo.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(metainfo.readAll());
    QVERIFY(xml.contains("<id>" + id + "</id>"));
    QVERIFY(xml.contains(">" + id + ".desktop</launchable>"));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
