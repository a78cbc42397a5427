// The DNS wire codec: the query bytes, the reply readers on the fuzz corpus's replies, the
// record walk and the addresses read on it, the match of a reply to its query, and stream
// framing. The fuzz targets cover cut and mangled replies.
#include "dns/moddns.h"
#include "dns/records.h"
#include "dns/streamframe.h"

#include <QFile>
#include <QTest>

using namespace tarnbell::dns;

namespace {

// A DNS message written field by field.
class Wire {
public:
    Wire& u8(int value) {
        m_bytes.append(static_cast<char>(value & 0xFF));
        return *this;
    }
    Wire& u16(int value) { return u8(value >> 8).u8(value); }
    Wire& raw(const QByteArray& bytes) {
        m_bytes += bytes;
        return *this;
    }
    Wire& label(const QByteArray& text) { return u8(static_cast<int>(text.size())).raw(text); }
    Wire& name(const QByteArray& dotted) {
        for (const QByteArray& part : dotted.split('.'))
            label(part);
        return u8(0);
    }
    Wire& pointer(int offset) { return u16(0xC000 | offset); } // RFC 1035 4.1.4
    // ID 11 DF, `flags`, QDCOUNT 1, no records.
    Wire& header(int flags = 0x8180) { return u16(0x11DF).u16(flags).u16(1).u16(0).u16(0).u16(0); }
    operator QByteArray() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// A reply to "example.test" of `type`, class IN, without records.
QByteArray reply(int type, int flags = 0x8180, int qclass = 1) {
    return Wire().header(flags).name("example.test").u16(type).u16(qclass);
}

ByteView view(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size())};
}

QByteArray toBytes(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

QByteArray queryFor(const QByteArray& name, int type) {
    return toBytes(BuildQuery(name.toStdString(), static_cast<std::uint16_t>(type)).datagram);
}

QByteArray interpret(const QByteArray& bytes, int type) {
    return QByteArray::fromStdString(InterpretReply(view(bytes), static_cast<std::uint16_t>(type)));
}

std::string readName(const QByteArray& bytes, std::size_t& pos) {
    std::string text;
    ReadName(view(bytes), pos, text);
    return text;
}

QString corpus(const QString& seed = {}) {
    return QStringLiteral(TARNBELL_FUZZ_CORPUS "/fuzz_reply/") + seed;
}

QByteArray seed(const QString& name) {
    QFile file(corpus(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The name "x" at offset 12, then `hops` pointers, each to the one before; `last` is the
// offset of the last.
QByteArray pointerChain(int hops, int& last) {
    Wire wire;
    wire.header().name("x");
    for (int i = 0, previous = 12; i < hops; ++i, previous = last) {
        last = static_cast<int>(QByteArray(wire).size());
        wire.pointer(previous);
    }
    return wire;
}

} // namespace

class TestCodec final : public QObject {
    Q_OBJECT
private slots:

    void buildQuery_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("labels"); // empty when `error` is set
        QTest::addColumn<QueryError>("error");
        const auto ok = QueryError::None;
        QTest::newRow("two labels, A")
            << QByteArray("a.bc") << 1 << QByteArray(Wire().label("a").label("bc")) << ok;
        QTest::newRow("trailing dot: empty last label")
            << QByteArray("a.bc.") << 15 << QByteArray(Wire().label("a").label("bc").u8(0)) << ok;
        // Labels of 64..255 bytes keep their plain length byte, whatever its top bits say.
        const QByteArray longest(255, 'q');
        QTest::newRow("255-byte label")
            << longest + ".t" << 6 << QByteArray(Wire().label(longest).label("t")) << ok;
        const QByteArray tooLong(256, 'q');
        QTest::newRow("256 bytes in the middle")
            << "a." + tooLong + ".b" << 15 << QByteArray() << QueryError::LabelTooLong;
    }

    void buildQuery() {
        QFETCH(QByteArray, name);
        QFETCH(int, type);
        QFETCH(QByteArray, labels);
        QFETCH(QueryError, error);
        QCOMPARE(QByteArray::fromStdString(EncodeName(name.toStdString()).labels), labels);
        const Query query = BuildQuery(name.toStdString(), static_cast<std::uint16_t>(type));
        QCOMPARE(query.error, error);
        if (error != QueryError::None) {
            QVERIFY(query.datagram.empty());
            return;
        }
        // RD set, the labels, the zero byte, QTYPE, QCLASS IN.
        QCOMPARE(toBytes(query.datagram),
                 QByteArray(Wire().header(0x0100).raw(labels).u8(0).u16(type).u16(1)));
    }

    // What the program shows of each seed reply (fuzz/seeds_fuzz_reply.py says how each is
    // built): the best exchange for MX, the question as the reply repeats it otherwise.
    void corpusReplies_data() {
        QTest::addColumn<QString>("seed");
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("text");
        const QByteArray question("example.test");
        QTest::newRow("MX") << "mx_one_record" << 15 << QByteArray("mail.example.test");
        QTest::newRow("A: MX records not read") << "mx_one_record" << 1 << question;
        QTest::newRow("MX: lowest preference, earlier on a tie")
            << "mx_three_compressed" << 15 << QByteArray("mx2.example.test");
        QTest::newRow("MX: a CNAME first") << "mx_cname_first" << 15 << QByteArray();
        QTest::newRow("MX: ANCOUNT above the records present")
            << "mx_ancount_too_large" << 15 << QByteArray("b.example.test");
        QTest::newRow("MX: pointer to a name ending in a pointer")
            << "pointer_chain" << 15 << QByteArray("a.mx.example.test");
        QTest::newRow("MX: pointer cycle") << "pointer_two_cycle" << 15 << QByteArray("b.a.");
        QTest::newRow("MX: forward pointer") << "pointer_forward" << 15 << QByteArray("mail.");
        QTest::newRow("SOA") << "soa_answer" << 6 << question;
        QTest::newRow("A: NXDOMAIN") << "nxdomain_soa_authority" << 1 << question;
        QTest::newRow("A: question pointing at itself") << "pointer_to_self" << 1 << QByteArray();
        QTest::newRow("A: cut inside a label") << "cut_in_label" << 1 << QByteArray("exa");
        QTest::newRow("A: 64-byte label")
            << "long_labels" << 1 << QByteArray(64, 'q') + '.' + QByteArray(63, 'r');
    }

    void corpusReplies() {
        QFETCH(QString, seed);
        QFETCH(int, type);
        const QByteArray bytes = ::seed(seed);
        QVERIFY2(!bytes.isEmpty(), qPrintable(corpus(seed)));
        QTEST(interpret(bytes, type), "text");
    }

    // Where a name read ends: on its zero byte, just past its pointer, or at the end of the
    // datagram; a pointer chain is followed only so far.
    void readNameStops_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("start");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("end");
        const QByteArray question = reply(1);
        QTest::newRow("pointer: past it")
            << QByteArray(Wire().raw(question).label("mail").pointer(12)) << 30
            << QByteArray("mail.example.test") << 37;
        QTest::newRow("cut inside a pointer") << QByteArray(Wire().header().label("mail").u8(0xC0))
                                              << 12 << QByteArray("mail.") << 17;
        QTest::newRow("pointer back into its own name")
            << QByteArray(Wire().header().label("a").pointer(12)) << 12 << QByteArray("a.") << 16;
        int last = 0;
        const QByteArray allowed = pointerChain(kMaxPointersPerName, last);
        QTest::newRow("the most pointers allowed")
            << allowed << last << QByteArray("x") << last + 2;
        const QByteArray tooMany = pointerChain(kMaxPointersPerName + 1, last);
        QTest::newRow("one pointer more") << tooMany << last << QByteArray() << last + 2;
    }

    void readNameStops() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, start);
        std::size_t pos = static_cast<std::size_t>(start);
        QTEST(QByteArray::fromStdString(readName(bytes, pos)), "text");
        QTEST(int(pos), "end");
    }

    // Every record the header counts, by section, up to the first fault; the addresses are
    // the A and AAAA RDATA of answers of class IN and the right length.
    void recordWalk_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("records"); // section, owner, type, class, TTL, RDLENGTH
        QTest::addColumn<bool>("failed");
        QTest::addColumn<QByteArray>("addresses"); // A, then AAAA RDATA, in hex
        const QString answer = QStringLiteral("0 example.test %1 1 3600 %2");
        QTest::newRow("all sections")
            << seed("addresses_all_sections")
            << QStringList{answer.arg(1).arg(4),        answer.arg(28).arg(16),
                           "0 example.test 1 3 3600 4", answer.arg(1).arg(5),
                           "1 example.test 6 1 0 39",   "2 . 41 1232 0 0",
                           "2 example.test 1 1 3600 4"}
            << false << QByteArray("c0000201 20010db8000000000000000000000001");
        QTest::newRow("RDATA cut short")
            << seed("addresses_rdata_cut") << QStringList{answer.arg(1).arg(4)} << true
            << QByteArray("c0000201");
        QTest::newRow("owner pointer loop")
            << seed("owner_pointer_loop") << QStringList{} << true << QByteArray();
        QTest::newRow("ANCOUNT above the records present")
            << seed("mx_ancount_too_large")
            << QStringList{answer.arg(15).arg(6), answer.arg(15).arg(6)} << true << QByteArray();
        QTest::newRow("question only") << reply(1) << QStringList{} << false << QByteArray();
        QTest::newRow("header cut short")
            << reply(1).left(11) << QStringList{} << true << QByteArray();
        const QByteArray label63(63, 'a');
        QTest::newRow("question name over 255 bytes")
            << QByteArray(Wire().header().name(QByteArrayList(5, label63).join('.')).u16(1).u16(1))
            << QStringList{} << true << QByteArray();
        QTest::newRow("extended label type")
            << QByteArray(Wire().header().u8(0x41).raw(label63).u8(0).u16(1).u16(1))
            << QStringList{} << true << QByteArray();
    }

    void recordWalk() {
        QFETCH(QByteArray, reply);
        RecordWalker walker(view(reply));
        QStringList records;
        for (ResourceRecord r; walker.next(r);)
            records << QStringLiteral("%1 %2 %3 %4 %5 %6")
                           .arg(int(r.section))
                           .arg(QString::fromStdString(r.owner))
                           .arg(r.type)
                           .arg(r.rclass)
                           .arg(r.ttl)
                           .arg(r.rdata.size());
        QTEST(records, "records");
        QTEST(walker.failed(), "failed");
        QByteArrayList addresses;
        for (const std::uint16_t type : {kTypeA, kTypeAAAA})
            for (const Bytes& address : ReadAddresses(view(reply), type))
                addresses << toBytes(address).toHex();
        QTEST(addresses.join(' '), "addresses");
    }

    void isAnswerTo_data() {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("answers");
        const QByteArray mx = queryFor("example.test", kTypeMX);
        const QByteArray answer = seed("mx_one_record");
        QTest::newRow("answer") << mx << answer << true;
        QTest::newRow("name in another case")
            << mx << QByteArray(Wire().header().name("EXAMPLE.Test").u16(15).u16(1)) << true;
        QTest::newRow("QR clear: a query") << mx << reply(15, 0x0180) << false;
        for (const int at : {0, 1}) {
            QByteArray otherId = answer;
            otherId[at] = static_cast<char>(otherId[at] ^ 0x01);
            QTest::addRow("other ID, byte %d", at) << mx << otherId << false;
        }
        QByteArray noQuestion = reply(15);
        noQuestion[5] = 0;
        QTest::newRow("QDCOUNT 0: as servers send with FORMERR") << mx << noQuestion << true;
        QTest::newRow("other name of the same length")
            << mx << QByteArray(Wire().header().name("examplf.test").u16(15).u16(1)) << false;
        QTest::newRow("same bytes, labels split elsewhere")
            << mx << QByteArray(Wire().header().name("exampl.etest").u16(15).u16(1)) << false;
        QTest::newRow("other type") << mx << reply(1) << false;
        QTest::newRow("other class") << mx << reply(15, 0x8180, 3) << false;
        for (const int length : {11, 20, 29})
            QTest::addRow("cut to %d bytes", length) << mx << reply(15).left(length) << false;
        QTest::newRow("query too short to hold a question") << mx.left(12) << answer << false;
        // A name with an empty label or a label of 192+ bytes ends early where a server reads
        // it: the reply repeats that shorter question (as a local dnsmasq does).
        QTest::newRow("trailing dot: REFUSED for type 0, class 0F00")
            << queryFor("example.test.", kTypeMX) << seed("refused_trailing_dot") << true;
        QTest::newRow("leading dot: type 0765, class 7861")
            << queryFor(".example.test", 1)
            << QByteArray(Wire().header(0x8185).u8(0).u16(0x0765).u16(0x7861)) << true;
        QTest::newRow("200-byte label: read as a pointer")
            << queryFor(QByteArray(200, 'a') + ".test", 1)
            << QByteArray(Wire().header(0x8185).u8(0xC8).raw("aaaaa")) << true;
    }

    void isAnswerTo() {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, reply);
        QTEST(IsAnswerTo(view(reply), view(query)), "answers");
    }

    // TC is the bit beside AA, which says nothing about truncation.
    void readsTheTruncationBit() {
        QVERIFY(ReadReplyHeader(view(reply(15, 0x8380)))->truncated);
        QVERIFY(!ReadReplyHeader(view(reply(15, 0x8580)))->truncated);
    }

    void streamReader_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QList<QByteArray>>("messages"); // handed out, in order
        QTest::addColumn<bool>("broken");
        const auto framed = [](const QByteArray& message) {
            return toBytes(FrameForStream(view(message)));
        };
        const QByteArray a = reply(15);
        const QByteArray b = reply(1, 0x8183);
        const QByteArray longest(65535, 'x');
        QTest::newRow("two messages") << framed(a) + framed(b) << 512 << QList{a, b} << false;
        QTest::newRow("a message at the capacity")
            << framed(a) << int(a.size()) << QList{a} << false;
        QTest::newRow("length over the capacity")
            << framed(a) + framed(b) << int(a.size()) - 1 << QList<QByteArray>{} << true;
        QTest::newRow("nothing after a length over the capacity")
            << framed(a) + QByteArray("\xff\xff") + framed(b) << 512 << QList{a} << true;
        QTest::newRow("empty message")
            << framed(a) + QByteArray(2, '\0') + framed(b) << 512 << QList{a} << true;
        QTest::newRow("longest message") << framed(longest) << 65535 << QList{longest} << false;
    }

    void streamReader() {
        QFETCH(QByteArray, stream);
        QFETCH(int, capacity);
        QVERIFY(FrameForStream(view(QByteArray(65536, 'x'))).empty());
        // The same stream whole, in two cuts and byte by byte: the cut changes nothing.
        for (const qsizetype piece : {stream.size(), stream.size() / 2 + 1, qsizetype(1)}) {
            StreamReader reader(static_cast<std::size_t>(capacity));
            QList<QByteArray> read;
            StreamReader::Status status = StreamReader::Status::NeedMore;
            for (qsizetype at = 0; at < stream.size() && status != StreamReader::Status::Broken;
                 at += std::max(piece, qsizetype(1))) {
                reader.append(view(stream.mid(at, piece)));
                Bytes message;
                while ((status = reader.next(message)) == StreamReader::Status::Message)
                    read << toBytes(message);
            }
            QTEST(read, "messages");
            QTEST(reader.broken(), "broken");
        }
    }
};

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"
