// What each lookup kind of tarnbell-cli measures, against a recursive unbound on loopback
// whose zones answer after known delays (the top-level domain "tbtest." after 30 ms,
// "zone.tbtest." after 90 ms): each kind's median and 99th percentile beside the time the
// server it must reach took to answer the resolver. Then, for random labels in the signed
// zone.tbtest., how many answers a validating unbound fetched and how many it made up from
// NSEC records it held (RFC 8198), beside how many the program marked from_cache, with
// aggressive NSEC on and off.
//
// Usage: bench_kinds [rounds=20]

#include "benchstats.h"
#include "fixtures/recursiveresolver.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

using tarnbell::bench::stats;
using tarnbell::testing::RecursiveResolver;
using Mode = RecursiveResolver::Mode;

namespace {

const QStringList kDomains{"zone.tbtest", "www.zone.tbtest"};

// The JSON report of one run of kDomains asked as `kinds`, or an empty object.
QJsonObject runCli(const RecursiveResolver& resolver, const QString& kinds, int rounds) {
    QStringList args{"--server", resolver.serverText(), "--type", "A", "--quiet", "--json", "-"};
    args << "--kinds" << kinds << "--rounds" << QString::number(rounds);
    for (const QString& domain : kDomains)
        args << "--domain" << domain;
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral(TARNBELL_CLI_PATH), args);
    if (!process.waitForFinished(600'000) || process.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

QList<QJsonObject> lookupsOf(const QJsonObject& report, const QString& kind) {
    QList<QJsonObject> lookups;
    for (const QJsonValue& lookup : report["lookups"].toArray()) {
        if (lookup["kind"] == kind)
            lookups << lookup.toObject();
    }
    return lookups;
}

bool fail(const char* what, const QString& why = {}) {
    std::fprintf(stderr, "bench_kinds: %s %s\n", what, qPrintable(why));
    return false;
}

bool kindTimes(int rounds) {
    RecursiveResolver resolver(Mode::Iterating);
    if (!resolver.start())
        return fail("unbound did not start:", resolver.errorString());
    const QJsonObject report = runCli(resolver, "cached,uncached,tld", rounds);
    if (report.isEmpty())
        return fail("tarnbell-cli failed");
    std::printf("%d rounds of %s, iterating unbound\n\n", rounds,
                qPrintable(kDomains.join(" and ")));
    std::printf("kind      timed  from_cache  median ms  p99 ms   the server it must reach\n");
    const auto row = [&](const char* kind, std::optional<RecursiveResolver::Server> server) {
        std::vector<double> timed;
        int fromCache = 0;
        for (const QJsonObject& lookup : lookupsOf(report, kind)) {
            if (lookup["cache_check"] == QStringLiteral("from_cache"))
                ++fromCache;
            else
                timed.push_back(lookup["seconds"].toDouble() * 1000.0);
        }
        const auto own = stats(timed);
        std::printf("%-9s %5zu %11d %10.2f %7.2f   ", kind, timed.size(), fromCache, own.median,
                    own.p99);
        if (!server) {
            std::printf("none: the resolver's own time\n");
            return;
        }
        std::vector<double> its;
        for (const double seconds : resolver.relay(*server).serviceSeconds())
            its.push_back(seconds * 1000.0);
        std::printf("%s, delay %lld ms: median %.2f, p99 %.2f ms\n",
                    *server == RecursiveResolver::Tld ? "tbtest." : "zone.tbtest.",
                    static_cast<long long>(RecursiveResolver::delay(*server).count()),
                    stats(its).median, stats(its).p99);
    };
    row("cached", std::nullopt);
    row("uncached", RecursiveResolver::Zone);
    row("tld", RecursiveResolver::Tld);
    return true;
}

bool aggressiveNsec(int rounds) {
    std::printf("\n%d uncached lookups in zone.tbtest. (signed, NSEC), validating unbound\n\n",
                rounds * static_cast<int>(kDomains.size()));
    std::printf("aggressive NSEC  asked of the zone  made up from NSEC  marked from_cache\n");
    for (const bool on : {true, false}) {
        RecursiveResolver resolver(on ? Mode::ValidatingAggressiveNsec : Mode::Validating);
        if (!resolver.start())
            return fail("unbound did not start:", resolver.errorString());
        const QJsonObject report = runCli(resolver, "cached,uncached", rounds);
        if (report.isEmpty())
            return fail("tarnbell-cli failed");
        const QStringList asked = resolver.relay(RecursiveResolver::Zone).askedNames();
        const QList<QJsonObject> lookups = lookupsOf(report, "uncached");
        const auto reached = std::count_if(lookups.cbegin(), lookups.cend(), [&](const auto& l) {
            return asked.contains(l["qname"].toString());
        });
        std::printf("%-16s %17lld %18lld %18d\n", on ? "on" : "off",
                    static_cast<long long>(reached),
                    static_cast<long long>(lookups.size() - reached),
                    report["servers"][0]["kinds"]["uncached"]["from_cache"].toInt());
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int rounds = args.size() > 1 ? std::clamp(args.at(1).toInt(), 1, 20) : 20;
    if (RecursiveResolver::programPath().isEmpty())
        return fail("needs unbound, nsd and ldns-signzone (scripts/install-deps --test)") ? 0 : 1;
    return kindTimes(rounds) && aggressiveNsec(rounds) ? 0 : 1;
}
