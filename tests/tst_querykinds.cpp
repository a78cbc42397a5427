// The lookup kinds of tarnbell-cli against a recursive unbound whose zones answer after known
// delays: each kind's median is the time of the server it must reach, and every uncached or
// top-level answer is judged fresh exactly when its random label reached that server, also
// when a validating resolver makes answers up from NSEC records it holds (RFC 8198).

#include "fixtures/recursiveresolver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace tarnbell::testing;
using Mode = RecursiveResolver::Mode;

class TestQueryKinds final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void kind_data();
    void kind();
};

// Each run asks zone.tbtest. and its www name six rounds as cached lookups (cache hits, which
// the cache check compares with) and as the row's kind. Random labels under a name take the
// zone's delay, under the top-level domain that domain's, and cache hits well under both.
// Every label is asked of its server and judged fresh, except with aggressive NSEC: then only
// the first in each NSEC range is, and the labels fall in two (ns1 to www, www to the apex);
// the others are made up from NSEC records and judged from_cache.
void TestQueryKinds::kind_data() {
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<RecursiveResolver::Server>("server"); // the one each label must reach
    QTest::addColumn<int>("fresh");                        // of the 12 labels, asked of it
    QTest::newRow("uncached") << Mode::Iterating << "uncached" << RecursiveResolver::Zone << 12;
    QTest::newRow("tld") << Mode::Iterating << "tld" << RecursiveResolver::Tld << 12;
    QTest::newRow("aggressive NSEC off")
        << Mode::Validating << "uncached" << RecursiveResolver::Zone << 12;
    QTest::newRow("aggressive NSEC on")
        << Mode::ValidatingAggressiveNsec << "uncached" << RecursiveResolver::Zone << 2;
}

void TestQueryKinds::kind() {
    QFETCH(Mode, mode);
    QFETCH(QString, kind);
    QFETCH(RecursiveResolver::Server, server);
    QFETCH(int, fresh);
    RecursiveResolver resolver(mode);
    TARNBELL_START_SERVER(resolver);
    QProcess cli;
    cli.start(TARNBELL_CLI_PATH, {"--server", resolver.serverText(), "--type", "A", "--quiet",
                                  "--json", "-", "--kinds", "cached," + kind, "--rounds", "6",
                                  "--domain", "zone.tbtest", "--domain", "www.zone.tbtest"});
    QVERIFY(cli.waitForFinished(120000));
    const QJsonObject report = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    const QJsonValue kinds = report["servers"][0]["kinds"];
    // Each lookup's mark: from_cache exactly when its label did not reach the server.
    const QStringList asked = resolver.relay(server).askedNames();
    for (const QJsonValue& lookup : report["lookups"].toArray()) {
        const QString name = lookup["qname"].toString();
        if (lookup["kind"] == kind)
            QCOMPARE(name + ' ' + lookup["cache_check"].toString(),
                     name + (asked.contains(name) ? " fresh" : " from_cache"));
    }
    QCOMPARE(kinds[kind]["from_cache"].toInt(), 12 - fresh);
    const double delayMs = double(RecursiveResolver::delay(server).count());
    QCOMPARE_LT(kinds["cached"]["median_exact_ms"].toDouble(), 15.0); // half the TLD's delay
    QCOMPARE_GE(kinds[kind]["median_exact_ms"].toDouble(), 0.8 * delayMs);
    QCOMPARE_LE(kinds[kind]["median_exact_ms"].toDouble(), 3 * delayMs);
}

QTEST_GUILESS_MAIN(TestQueryKinds)
#include "tst_querykinds.moc"
