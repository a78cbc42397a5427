// The domains no query can carry, a rule both input lists, the harvest and the command-line
// tool share.

#include "core/lists/listlimits.h"

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
        // No DNS name holds a blank or a control character; a typing slip is refused.
        QTest::newRow("no-break space") << QStringLiteral("a\u00A0b.example") << true;
        QTest::newRow("tab") << QStringLiteral("a\tb.example") << true;
    }
    void domainQueryProblem() {
        QFETCH(QString, domain);
        QTEST(!DomainQueryProblem(domain).isEmpty(), "refused");
    }
};

QTEST_APPLESS_MAIN(TestListRules)
#include "tst_listrules.moc"
