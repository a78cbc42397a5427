// The input lists' shared rules: the domains no query can carry, the seed words and the tick
// scale under the progress fill.

#include "core/lists/listlimits.h"
#include "core/lists/randomsource.h"
#include "core/run/tickscale.h"

#include <QtTest>

using namespace tarnbell::core;

class TestListRules final : public QObject {
    Q_OBJECT

private slots:
    void domainQueryProblem_data() {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<bool>("refused");
        const QString label255(255, QLatin1Char('a'));
        QTest::newRow("label of 255") << label255 << false;
        QTest::newRow("label of 256") << QString(256, QLatin1Char('a')) << true;
        // 17 bytes around the name's 3984 fill the 4001-byte query buffer exactly.
        const QString filler = QStringList(15, label255).join('.') + '.';
        QTest::newRow("fills the buffer") << filler + QString(143, u'b') << false;
        QTest::newRow("one byte over") << filler + QString(144, u'b') << true;
        // Latin-1 goes out one byte per character, other text in its IDNA form.
        QTest::newRow("Latin-1 label of 256") << QString(256, QChar(0x00E9)) << true;
        QTest::newRow("IDNA name") << QStringLiteral("\u0436\u0436.example") << false;
        QTest::newRow("no IDNA form") << QString(300, QChar(0x0436)) << true;
    }
    void domainQueryProblem() {
        QFETCH(QString, domain);
        QTEST(!DomainQueryProblem(domain).isEmpty(), "refused");
    }

    // Letters rounded half to even from the draw; A and Z half as often as the others.
    void seedWords() {
        QCOMPARE(SeedLetter(0.06F), QChar('B')); // 98.5
        QCOMPARE(SeedLetter(0.1F), QChar('D'));  // 99.5
        QCOMPARE(SeedLetter(1.0F - 1.0F / 16777216.0F), QChar('Z'));
        QCOMPARE(SeedLetter(0.0F), QChar('A'));
        RandomSource random(12345);
        QCOMPARE(RandomSeedWord(random).size(), 3);
    }

    void tickPositions_data() {
        QTest::addColumn<float>("width");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("ticks");
        QTest::newRow("3 servers over 120") << 120.0F << 3 << 4;
        // 100 / 11 in single precision sums past 100: the right edge is not drawn.
        QTest::newRow("edge passed by rounding") << 100.0F << 11 << 11;
        QTest::newRow("no steps") << 50.0F << 0 << 0;
        QTest::newRow("no width") << 0.0F << 4 << 0;
    }
    void tickPositions() {
        QFETCH(float, width);
        QFETCH(int, steps);
        const QList<float> positions = TickPositions(width, steps);
        QTEST(int(positions.size()), "ticks");
        for (qsizetype i = 0; i < positions.size(); ++i)
            QVERIFY(qAbs(positions.at(i) - width * float(i) / float(steps)) < 1e-3F);
    }
};

QTEST_APPLESS_MAIN(TestListRules)
#include "tst_listrules.moc"
