// The window's cost over a whole run: 99 servers x 99 domains (9,801 lookups) through the
// real UDP probe against a fake responder on loopback that answers at once. The same run
// is timed twice, side by side: by the engine alone (models, no window) and by the window
// (offscreen unless a display is set), started with a click on "Benchmark!" and timed to
// the completion. Prints both wall times and the window's overhead per lookup, as medians.
//
// Usage: bench_gui [repetitions [servers domains]]
//        bench_gui --screenshot FILE   (a finished run against a few local responders)
//        bench_gui --screenshot FILE --details   (three responders, three rounds, the details tab)
//        bench_gui --screenshot FILE --checks   (four resolvers checked, the Checks tab)
//        either with --dark: in a dark colour scheme, --scale 2: at twice the size (as
//        QT_SCALE_FACTOR=2), --size WxH: the window's size in logical pixels (else its start
//        size on the screen, or 1180 x 860 for the details, 1500 x 760 for the checks)

#include "checksview.h"
#include "core/probe/probe.h"
#include "core/run/benchmarkengine.h"
#include "entrylist.h"
#include "fixtures/fakeresponder.h"
#include "fixtures/realresolver.h"
#include "fixtures/recursiveresolver.h"
#include "guisupport/windowdriver.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <chrono>

using namespace tarnbell;
using namespace std::chrono_literals;
using testing::FakeResponder;

namespace {

int kServers = 99;
int kDomains = 99;
QSize shotSize; // --size, or each screenshot's own

core::RunRequest benchRequest(const FakeResponder& responder) {
    core::RunRequest request;
    for (int i = 0; i < kServers; ++i)
        request.servers << responder.serverText() + QStringLiteral(" - bench %1").arg(i + 1);
    for (int i = 0; i < kDomains; ++i)
        request.domains << QStringLiteral("d%1.bench.test").arg(i + 1);
    request.recordTypeChoice = QStringLiteral("MX 15");
    return request;
}

double engineAlone(const core::RunRequest& request) {
    core::Probe probe;
    core::LookupTableModel lookups;
    core::SummaryTableModel summary;
    core::BenchmarkEngine engine(&probe, &lookups, &summary);
    QEventLoop loop;
    QObject::connect(&engine, &core::BenchmarkEngine::finished, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    engine.BenchmarkDNS(request);
    loop.exec();
    return static_cast<double>(wall.nsecsElapsed()) / 1e9;
}

// Clicks "Benchmark!", answers the completion box, and returns the seconds from the click
// to the end of the run.
double clickedRun(frmMain& window) {
    QEventLoop loop;
    QElapsedTimer wall;
    double seconds = 0.0;
    const auto finished = QObject::connect(&window, &frmMain::runFinished, &window, [&] {
        seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        QTimer::singleShot(0, &window, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Ok)->click();
        });
    });
    const auto unlocked =
        QObject::connect(&window, &frmMain::runUnlocked, &loop, &QEventLoop::quit);
    wall.start();
    window.controls().cmdGo->click();
    loop.exec();
    QObject::disconnect(finished);
    QObject::disconnect(unlocked);
    return seconds;
}

std::unique_ptr<testing::TestWindow> shownWindow(QSize size) {
    auto test = testing::makeWindow(QString(), 100, std::make_unique<core::Probe>());
    test->window->resize(size);
    test->window->show();
    if (!QTest::qWaitForWindowExposed(test->window.get()))
        QTextStream(stderr) << "bench_gui: the window was not exposed\n";
    return test;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    const auto n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

int bench(int repetitions) {
    QTextStream out(stdout);
    FakeResponder responder;
    const core::RunRequest request = benchRequest(responder);
    out << "bench_gui: " << kServers << " x " << kDomains << " = " << kServers * kDomains
        << " lookups over UDP to a loopback responder answering at once, " << repetitions
        << " runs each, engine alone and window alternating\n";

    QList<double> engineWalls;
    QList<double> windowWalls;
    for (int run = 0; run < repetitions; ++run) {
        engineWalls << engineAlone(request);
        auto test = shownWindow({900, 560});
        testing::setLists(*test->window, request.servers, request.domains);
        windowWalls << clickedRun(*test->window);
        const int rows = test->window->lookupModel()->rowCount();
        out << QStringLiteral("  run %1: engine %2 s, window %3 s (%4 rows)\n")
                   .arg(run + 1)
                   .arg(engineWalls.constLast(), 0, 'f', 3)
                   .arg(windowWalls.constLast(), 0, 'f', 3)
                   .arg(rows);
        out.flush();
    }
    const double lookups = kServers * kDomains;
    const double engine = median(engineWalls);
    const double window = median(windowWalls);
    out << QStringLiteral("median: engine alone %1 s, window %2 s (target < 5), window ratio "
                          "%3x, window overhead %4 us/lookup (target < 200)\n")
               .arg(engine, 0, 'f', 3)
               .arg(window, 0, 'f', 3)
               .arg(window / engine, 0, 'f', 2)
               .arg((window - engine) / lookups * 1e6, 0, 'f', 1);
    return 0;
}

// Three loopback responders whose answer times differ by server and vary by domain, so the
// boxes have a spread: two close together, and a slower one playing the machine's resolver.
// Two rounds, then the details tab is shown.
int detailsScreenshot(const QString& file) {
    const QList<int> baseMs{14, 4, 5};
    const QStringList labels{"local", "fast resolver", "office"};
    const QList<int> jitterMs{0, 3, 1, 5, 2, 0, 4, 1};
    std::vector<std::unique_ptr<FakeResponder>> responders;
    QStringList servers;
    QStringList domains;
    for (qsizetype d = 0; d < jitterMs.size(); ++d)
        domains << QStringLiteral("d%1.example.com").arg(d + 1);
    for (qsizetype i = 0; i < baseMs.size(); ++i) {
        auto responder = std::make_unique<FakeResponder>();
        for (qsizetype d = 0; d < domains.size(); ++d) {
            // The same name differs in time from server to server, as real caches do.
            const int ms = baseMs.at(i) + jitterMs.at((d + i * 3) % jitterMs.size());
            responder->setBehaviour(domains.at(d), {.delay = std::chrono::milliseconds(ms)});
        }
        servers << responder->serverText() + QStringLiteral(" - ") + labels.at(i);
        responders.push_back(std::move(responder));
    }

    auto test =
        testing::makeWindow(responders.front()->serverText(), 100, std::make_unique<core::Probe>());
    frmMain& window = *test->window;
    window.resize(shotSize.isValid() ? shotSize : QSize(1180, 860));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        QTextStream(stderr) << "bench_gui: the window was not exposed\n";
    testing::setLists(window, servers, domains);
    window.controls().rounds->setValue(3);
    clickedRun(window);
    window.controls().resultTabs->setCurrentIndex(1);
    QTest::qWait(300); // let the chart lay out and repaint
    if (!window.grab().save(file)) {
        QTextStream(stderr) << "bench_gui: cannot write " << file << "\n";
        return 1;
    }
    QTextStream(stdout) << "bench_gui: saved " << file << "\n";
    return 0;
}

// The Checks tab after a checked run against the resolvers of tst_checks on loopback: a
// validating unbound, one that keeps private addresses out, a responder that makes names
// up, and one that designates its own encrypted endpoints. Needs unbound, NSD and ldnsutils.
int checksScreenshot(const QString& file) {
    using testing::RecursiveResolver;
    RecursiveResolver validating(RecursiveResolver::Mode::Validating);
    RecursiveResolver filtering(RecursiveResolver::Mode::Iterating, true);
    testing::RealResolver designating(true);
    const auto started = [](auto& server) {
        const bool ok = server.start();
        if (!ok)
            QTextStream(stderr) << "bench_gui: " << server.errorString() << "\n";
        return ok;
    };
    if (!started(validating) || !started(filtering) || !started(designating))
        return 1;
    const testing::ResponderThread forger(
        {FakeResponder::Reply::Custom, {}, FakeResponder::forgedAnswer});

    auto test = testing::makeWindow(QString(), 100, std::make_unique<core::Probe>());
    frmMain& window = *test->window;
    window.resize(shotSize.isValid() ? shotSize : QSize(1500, 760)); // every column in sight
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        QTextStream(stderr) << "bench_gui: the window was not exposed\n";
    testing::setLists(window,
                      {validating.serverText() + " - validating",
                       filtering.serverText() + " - filtering",
                       forger.responder().serverText() + " - makes names up",
                       designating.udpEntry() + " - designates endpoints"},
                      {"www.zone.tbtest", "example.test"});
    window.setCheckNames({"www.zone.tbtest", "bad.zone.tbtest", "rebind.tbtest"});
    window.transports()->setCaFile(designating.caFile());
    window.controls().chkChecks->setChecked(true);
    clickedRun(window);
    window.controls().resultTabs->setCurrentWidget(window.checks());
    window.checks()->table()->selectRow(3); // the one with endpoints to add
    QTest::qWait(300);                      // let the table lay out and repaint
    if (!window.grab().save(file)) {
        QTextStream(stderr) << "bench_gui: cannot write " << file << "\n";
        return 1;
    }
    QTextStream(stdout) << "bench_gui: saved " << file << "\n";
    return 0;
}

// A finished run as a user sees it, saved as an image: a few loopback responders with
// different answer times, the first one playing the machine's own resolver.
int screenshot(const QString& file) {
    const QList<std::chrono::milliseconds> delays{18ms, 6ms, 11ms, 25ms, 9ms};
    const QStringList labels{"local", "fast resolver", "office", "far away", "ISP"};
    std::vector<std::unique_ptr<FakeResponder>> responders;
    QStringList servers;
    for (qsizetype i = 0; i < delays.size(); ++i) {
        auto responder = std::make_unique<FakeResponder>();
        responder->setDefaultBehaviour({.delay = delays.at(i)});
        servers << responder->serverText() + QStringLiteral(" - ") + labels.at(i);
        responders.push_back(std::move(responder));
    }
    const QStringList domains{"debian.org", "kernel.org", "wikipedia.org",
                              "gnu.org",    "qt.io",      "example.com"};

    auto test =
        testing::makeWindow(responders.front()->serverText(), 100, std::make_unique<core::Probe>());
    frmMain& window = *test->window;
    if (shotSize.isValid())
        window.resize(shotSize); // else the size a first start takes on this screen
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        QTextStream(stderr) << "bench_gui: the window was not exposed\n";
    testing::setLists(window, servers, domains);
    clickedRun(window);
    QTest::qWait(200); // let the last repaint land
    if (!window.grab().save(file)) {
        QTextStream(stderr) << "bench_gui: cannot write " << file << "\n";
        return 1;
    }
    QTextStream(stdout) << "bench_gui: saved " << file << "\n";
    return 0;
}

// A dark colour scheme as desktops ship it (Breeze Dark's colours), for the screenshots.
QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(49, 54, 59));
    palette.setColor(QPalette::Button, QColor(49, 54, 59));
    palette.setColor(QPalette::Base, QColor(35, 38, 41));
    palette.setColor(QPalette::AlternateBase, QColor(44, 49, 54));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, QColor(239, 240, 241));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(110, 113, 115));
    palette.setColor(QPalette::Highlight, QColor(61, 174, 233));
    palette.setColor(QPalette::HighlightedText, QColor(252, 252, 252));
    return palette;
}

// The value after `option` on the command line, or an empty text.
QString optionValue(int argc, char* argv[], const char* option) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], option) == 0)
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return {};
}

} // namespace

int main(int argc, char* argv[]) {
    // Qt reads the scale before the application exists.
    if (const QString scale = optionValue(argc, argv, "--scale"); !scale.isEmpty())
        qputenv("QT_SCALE_FACTOR", scale.toLocal8Bit());
    if (const QStringList size = optionValue(argc, argv, "--size").split(QLatin1Char('x'));
        size.size() == 2)
        shotSize = QSize(size.at(0).toInt(), size.at(1).toInt());
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const qsizetype shot = args.indexOf(QStringLiteral("--screenshot"));
    if (shot > 0 && shot + 1 < args.size()) {
        if (args.contains(QStringLiteral("--dark")))
            QApplication::setPalette(darkPalette());
        if (args.contains(QStringLiteral("--checks")))
            return checksScreenshot(args.at(shot + 1));
        return args.contains(QStringLiteral("--details")) ? detailsScreenshot(args.at(shot + 1))
                                                          : screenshot(args.at(shot + 1));
    }
    const int repetitions = args.size() > 1 ? std::max(1, args.at(1).toInt()) : 5;
    if (args.size() > 3) {
        kServers = std::clamp(args.at(2).toInt(), 1, 99);
        kDomains = std::clamp(args.at(3).toInt(), 1, 99);
    }
    return bench(repetitions);
}
