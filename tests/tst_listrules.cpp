// The input lists' shared rules: limit messages and prompts, the domains no query can carry,
// the seed words, the shuffle and the tick scale under the progress fill.

#include "core/listlimits.h"
#include "core/randomsource.h"
#include "core/tickscale.h"

#include <QtTest>

using namespace tarnbell::core;

class TestListRules final : public QObject {
    Q_OBJECT

private slots:
    void fullMessages();
    void domainQueryProblem_data();
    void domainQueryProblem();
    void seedLetter_data();
    void seedLetter();
    void seedLetterFrequencies();
    void shuffleDrawsTwicePerEntry();
    void tickPositions_data();
    void tickPositions();
    void tickScaleNeedsBothLists();
};

void TestListRules::fullMessages() {
    QCOMPARE(ListFullMessage(ListKind::Domains),
             QStringLiteral(
                 "You have too many domains!\r\nI can't process more than 99 domains, the number "
                 "won't fit in the little box and will look ugly.\r\nYou could run the benchmark "
                 "twice, or perhaps you should reconsider why you need to\r\ntest 99 domains on a "
                 "dns server; this application is for benchmarking, not DOSing."));
    QCOMPARE(ListFullMessage(ListKind::Servers),
             QStringLiteral(
                 "You have too many DNS Servers!\r\nI can't process more than 99 DNS Servers, the "
                 "number won't fit in the little box and will look ugly.\r\nYou could run the "
                 "benchmark twice, or perhaps you should reconsider why you need to\r\ntest 99 DNS "
                 "Servers on a dns server; this application is for benchmarking, not DOSing."));
}

void TestListRules::domainQueryProblem_data() {
    QTest::addColumn<QString>("domain");
    QTest::addColumn<bool>("refused");
    const QString label255(255, QLatin1Char('a'));
    QTest::newRow("plain") << QStringLiteral("example.com") << false;
    QTest::newRow("label of 255") << label255 << false;
    QTest::newRow("label of 256") << QString(256, QLatin1Char('a')) << true;
    // 15 labels of 255 bytes: 15 x 256 + header, zero byte, type, class = 3857 bytes.
    QTest::newRow("fills the buffer") << QStringList(15, label255).join(QLatin1Char('.')) << false;
    // 16 of them need 4113 bytes, more than the 4001-byte query buffer.
    QTest::newRow("too long for buffer")
        << QStringList(16, label255).join(QLatin1Char('.')) << true;
    // Latin-1 text goes out one byte per character.
    QTest::newRow("Latin-1 label of 255") << QString(255, QChar(0x00E9)) << false;
    QTest::newRow("Latin-1 label of 256") << QString(256, QChar(0x00E9)) << true;
    // Other text goes out in its IDNA form; a name without one cannot be sent at all.
    QTest::newRow("IDNA name") << QStringLiteral("\u0436\u0436.example") << false;
    QTest::newRow("no IDNA form") << QString(300, QChar(0x0436)) << true;
}

void TestListRules::domainQueryProblem() {
    QFETCH(QString, domain);
    QFETCH(bool, refused);
    const QString problem = DomainQueryProblem(domain);
    QCOMPARE(!problem.isEmpty(), refused);
    if (refused)
        QVERIFY(problem.contains(QStringLiteral("not added")));
}

void TestListRules::seedLetter_data() {
    QTest::addColumn<float>("r");
    QTest::addColumn<QChar>("letter");
    QTest::newRow("0") << 0.0F << QChar('A');
    QTest::newRow("just under a half step") << 0.019F << QChar('A');
    QTest::newRow("half to even: 98.5 -> b") << 0.06F << QChar('B');
    QTest::newRow("half to even: 99.5 -> d") << 0.1F << QChar('D');
    QTest::newRow("half to even: 109.5 -> n") << 0.5F << QChar('N');
    QTest::newRow("largest draw") << (1.0F - 1.0F / 16777216.0F) << QChar('Z');
}

void TestListRules::seedLetter() {
    QFETCH(float, r);
    QTEST(SeedLetter(r), "letter");
}

void TestListRules::seedLetterFrequencies() {
    RandomSource random(12345);
    QMap<QChar, int> counts;
    constexpr int kWords = 40000;
    for (int i = 0; i < kWords; ++i) {
        const QString word = RandomSeedWord(random);
        QCOMPARE(word.size(), 3);
        for (const QChar letter : word) {
            QVERIFY2(letter >= QLatin1Char('A') && letter <= QLatin1Char('Z'), qPrintable(word));
            ++counts[letter];
        }
    }
    // 120,000 letters: 1/25 each for B..Y (4800), 1/50 for A and Z (2400).
    QCOMPARE(counts.size(), 26);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const bool edge = it.key() == QLatin1Char('A') || it.key() == QLatin1Char('Z');
        const int expected = edge ? 2400 : 4800;
        QVERIFY2(qAbs(it.value() - expected) < expected / 8, qPrintable(it.key()));
    }
}

// That shuffling keeps every entry, duplicates too, is checked through the window's "R"
// buttons (tst_gui_lists); here, that it draws as the original program drew.
void TestListRules::shuffleDrawsTwicePerEntry() {
    RandomSource used(99);
    RandomSource reference(99);
    ShuffleEntries(QStringList{"a", "b", "c", "d"}, used);
    for (int i = 0; i < 8; ++i)
        reference.Rnd();
    QCOMPARE(used.Rnd(), reference.Rnd());

    RandomSource untouched(5);
    RandomSource fresh(5);
    QCOMPARE(ShuffleEntries({}, untouched), QStringList());
    QCOMPARE(untouched.Rnd(), fresh.Rnd()); // an empty list draws nothing
}

void TestListRules::tickPositions_data() {
    QTest::addColumn<float>("width");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QList<float>>("expected");
    QTest::newRow("3 servers over 120") << 120.0F << 3 << QList<float>{0, 40, 80, 120};
    QTest::newRow("3 x 4 lookups over 120")
        << 120.0F << 12 << QList<float>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    // 100 / 11 in single precision sums to a little over 100 after eleven additions, so the
    // tick at the right edge is not drawn.
    QList<float> elevenths;
    for (int k = 0; k < 11; ++k)
        elevenths << 100.0F * static_cast<float>(k) / 11.0F;
    QTest::newRow("edge passed by rounding") << 100.0F << 11 << elevenths;
    QTest::newRow("one step") << 50.0F << 1 << QList<float>{0, 50};
    QTest::newRow("no steps") << 50.0F << 0 << QList<float>{};
    QTest::newRow("no width") << 0.0F << 4 << QList<float>{};
}

void TestListRules::tickPositions() {
    QFETCH(float, width);
    QFETCH(int, steps);
    QFETCH(QList<float>, expected);
    const QList<float> positions = TickPositions(width, steps);
    QCOMPARE(positions.size(), expected.size());
    for (qsizetype i = 0; i < positions.size(); ++i)
        QVERIFY2(qAbs(positions.at(i) - expected.at(i)) < 1e-3F, qPrintable(QString::number(i)));
}

void TestListRules::tickScaleNeedsBothLists() {
    QVERIFY(TickScaleFor(300, 0, 5).serverTicks.isEmpty());
    QVERIFY(TickScaleFor(300, 5, 0).lookupTicks.isEmpty());
    const TickScale scale = TickScaleFor(990, 99, 99);
    QVERIFY(scale.serverTicks.size() >= 99);
    QVERIFY(scale.lookupTicks.size() >= 99 * 99);
    QVERIFY(scale.lookupTicks.constLast() <= 990.0F);
}

QTEST_APPLESS_MAIN(TestListRules)
#include "tst_listrules.moc"
