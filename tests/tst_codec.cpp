// The DNS wire codec: the query bytes, the label encoding, the name and reply readers and the
// match of a reply to its query. Replies are written field by field with Wire, so every row
// shows the bytes it means, and then cut short or mutated.
#include "dns/moddns.h"
#include "dns/streamframe.h"

#include <QTest>
#include <algorithm>

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
    Wire& u32(quint32 value) {
        return u16(static_cast<int>(value >> 16)).u16(static_cast<int>(value & 0xFFFF));
    }
    Wire& raw(const QByteArray& bytes) {
        m_bytes += bytes;
        return *this;
    }
    Wire& label(const QByteArray& text) { return u8(static_cast<int>(text.size())).raw(text); }
    // The labels of a dotted name and its closing zero byte.
    Wire& name(const QByteArray& dotted) {
        for (const QByteArray& part : dotted.split('.'))
            label(part);
        return u8(0);
    }
    // RFC 1035 4.1.4: two bytes, the high bits set, the offset in the other fourteen.
    Wire& pointer(int offset) { return u16(0xC000 | offset); }
    // ID 11 DF, flags (81 80: a response, RD, RA, no error), QDCOUNT 1, ANCOUNT, NSCOUNT,
    // ARCOUNT 0.
    Wire& header(int answers, int flags = 0x8180, int authority = 0) {
        return u16(0x11DF).u16(flags).u16(1).u16(answers).u16(authority).u16(0);
    }
    // A resource record as servers write it: the owner a pointer to the question (offset 12),
    // CLASS IN, TTL 3600, RDLENGTH, RDATA.
    Wire& record(int type, const QByteArray& rdata) {
        const int length = static_cast<int>(rdata.size());
        return pointer(12).u16(type).u16(1).u32(3600).u16(length).raw(rdata);
    }
    Wire& mx(int preference, const QByteArray& exchange) {
        return record(kTypeMX, Wire().u16(preference).raw(exchange));
    }
    operator QByteArray() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// A reply header and, from offset 12, the question "example.test" (14 bytes), QTYPE `type`,
// QCLASS IN; the answers begin at offset 30.
Wire reply(int type, int answers, int flags = 0x8180, int authority = 0) {
    return Wire().header(answers, flags, authority).name("example.test").u16(type).u16(1);
}

// An exchange name written as one label and a pointer to the question: "<first>.example.test".
QByteArray onQuestion(const QByteArray& first) {
    return Wire().label(first).pointer(12);
}

// SOA RDATA: MNAME ns1.example.test and RNAME hostmaster.example.test compressed against the
// question, then SERIAL, REFRESH, RETRY, EXPIRE and MINIMUM.
QByteArray soaData() {
    return Wire().label("ns1").pointer(12).label("hostmaster").pointer(12).raw(QByteArray(20, 7));
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

// A name whose label encoding is exactly `length` bytes: labels of 255, then the remainder.
QByteArray nameOfEncodedLength(int length) {
    QByteArray name;
    for (; length > 256; length -= 256)
        name += QByteArray(255, 'a') + '.';
    return name + QByteArray(length - 1, 'b');
}

// A reply with the name "x" at offset 12 and then `hops` pointers, each to the one before,
// the first to offset 12. Reading from the last one follows `hops` pointers.
QByteArray pointerChain(int hops, int& last) {
    Wire wire;
    wire.header(0).name("x"); // offsets 12..14
    int previous = 12;
    for (int i = 0; i < hops; ++i) {
        last = static_cast<int>(QByteArray(wire).size());
        wire.pointer(previous);
        previous = last;
    }
    return wire;
}

} // namespace

class TestCodec final : public QObject {
    Q_OBJECT

private slots:
    // Writing the query
    void buildQuery_data();
    void buildQuery();
    void buildQueryFitsTheBuffer_data();
    void buildQueryFitsTheBuffer();
    void recordTypeCode_data();
    void recordTypeCode();

    // Reading names and replies
    void readName_data();
    void readName();
    void interpretReply_data();
    void interpretReply();
    void truncatedReplies_data();
    void truncatedReplies();
    void mutatedReplies();

    // Telling an answer from a stray datagram
    void isAnswerTo_data();
    void isAnswerTo();
    void replyHeader_data();
    void replyHeader();

    // Messages on a byte stream (TCP, TLS)
    void streamReader_data();
    void streamReader();
};

void TestCodec::buildQuery_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("labels"); // empty when `error` is set
    QTest::addColumn<QueryError>("error");

    const auto ok = QueryError::None;
    QTest::newRow("two labels, A")
        << QByteArray("a.bc") << 1 << QByteArray(Wire().label("a").label("bc")) << ok;
    QTest::newRow("trailing dot: empty last label, MX")
        << QByteArray("a.bc.") << 15 << QByteArray(Wire().label("a").label("bc").u8(0)) << ok;
    QTest::newRow("empty name: one empty label, NS")
        << QByteArray() << 2 << QByteArray(Wire().u8(0)) << ok;
    QTest::newRow("double dot, SOA")
        << QByteArray("a..b") << 6 << QByteArray(Wire().label("a").u8(0).label("b")) << ok;
    // Labels of 64..255 bytes keep their plain length byte, whatever its top bits say.
    for (const int length : {64, 192, 255}) {
        const QByteArray label(length, 'q');
        QTest::addRow("%d-byte label", length)
            << label + ".test" << 15 << QByteArray(Wire().u8(length).raw(label).label("test"))
            << ok;
    }
    const QByteArray tooLong(256, 'q');
    QTest::newRow("256 bytes in the middle")
        << "a." + tooLong + ".b" << 15 << QByteArray() << QueryError::LabelTooLong;
    QTest::newRow("256 bytes as the last label")
        << "a.b." + tooLong << 15 << QByteArray() << QueryError::LabelTooLong;
}

void TestCodec::buildQuery() {
    QFETCH(QByteArray, name);
    QFETCH(int, type);
    QFETCH(QByteArray, labels);
    QFETCH(QueryError, error);
    const EncodedName encoded = EncodeName(name.toStdString());
    QCOMPARE(encoded.error, error);
    QCOMPARE(QByteArray::fromStdString(encoded.labels), labels);

    const Query query = BuildQuery(name.toStdString(), static_cast<std::uint16_t>(type));
    QCOMPARE(query.error, error);
    if (error != QueryError::None) {
        QVERIFY(query.datagram.empty());
        QVERIFY(QByteArray(QueryErrorText(error)).startsWith("Error: "));
        return;
    }
    // ID 11 DF, flags 01 00 (a standard query, RD), QDCOUNT 1, the other counts 0; the
    // labels, the closing zero byte, QTYPE and QCLASS IN. No EDNS.
    const QByteArray header = Wire().u16(0x11DF).u8(0x01).u8(0x00).u16(1).u16(0).u16(0).u16(0);
    QCOMPARE(toBytes(query.datagram),
             QByteArray(Wire().raw(header).raw(labels).u8(0).u16(type).u16(1)));
}

void TestCodec::buildQueryFitsTheBuffer_data() {
    QTest::addColumn<int>("encodedLength");
    QTest::addColumn<bool>("fits");
    // 12 header bytes + the labels + the zero byte + QTYPE + QCLASS = 17 + labels.
    QTest::newRow("exactly 4001 bytes") << 3984 << true;
    QTest::newRow("one byte over") << 3985 << false;
}

void TestCodec::buildQueryFitsTheBuffer() {
    QFETCH(int, encodedLength);
    QFETCH(bool, fits);
    const std::string name = nameOfEncodedLength(encodedLength).toStdString();
    QCOMPARE(EncodeName(name).labels.size(), static_cast<std::size_t>(encodedLength));

    const Query query = BuildQuery(name, kTypeMX);
    QCOMPARE(query.error, fits ? QueryError::None : QueryError::QueryTooLong);
    QCOMPARE(query.datagram.size(), fits ? kQueryBufferSize : 0);
    if (fits)
        QCOMPARE(toBytes(query.datagram).right(5), QByteArray(Wire().u8(0).u16(15).u16(1)));
    else
        QVERIFY(QByteArray(QueryErrorText(query.error)).startsWith("Error: "));
}

void TestCodec::recordTypeCode_data() {
    QTest::addColumn<QByteArray>("choice");
    QTest::addColumn<int>("code");
    QTest::newRow("MX 15") << QByteArray("MX 15") << 15;
    QTest::newRow("SOA 6") << QByteArray("SOA 6") << 6;
    QTest::newRow("no blank") << QByteArray("MX") << 0;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("largest code") << QByteArray("X 65535") << 65535;
    QTest::newRow("beyond 16 bits") << QByteArray("X 65537") << 0;
}

void TestCodec::recordTypeCode() {
    QFETCH(QByteArray, choice);
    QTEST(int{RecordTypeCode(choice.toStdString())}, "code");
}

void TestCodec::readName_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("start");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("end");

    const Wire head = Wire().header(0);
    const QByteArray mailName = Wire(head).name("mail.example.test"); // zero byte at 30
    QTest::newRow("labels: ends on the zero byte")
        << mailName << 12 << QByteArray("mail.example.test") << 30;

    // "example.test" at 12..25; from 26, "mail" and a pointer to it at 31.
    const Wire question = Wire(head).name("example.test");
    QTest::newRow("pointer mid-name: ends past the pointer")
        << QByteArray(Wire(question).label("mail").pointer(12)) << 26
        << QByteArray("mail.example.test") << 33;
    // 26: "mx" + pointer to 12; 31: "a" + pointer to 26.
    QTest::newRow("pointer to a name ending in a pointer")
        << QByteArray(Wire(question).label("mx").pointer(12).label("a").pointer(26)) << 31
        << QByteArray("a.mx.example.test") << 35;
    QTest::newRow("a 64-byte label is a label")
        << QByteArray(Wire(head).label(QByteArray(64, 'q')).u8(0)) << 12 << QByteArray(64, 'q')
        << 77;

    // Pointer loops end without failing and keep the text read so far.
    QTest::newRow("loop: pointer to itself")
        << QByteArray(Wire(head).pointer(12)) << 12 << QByteArray() << 14;
    QTest::newRow("loop: pointer back to its own first label")
        << QByteArray(Wire(head).label("ab").pointer(12)) << 12 << QByteArray("ab.") << 17;
    // 12: "a" + pointer to 16; 16: "b" + pointer to 12.
    QTest::newRow("loop: two names pointing at each other")
        << QByteArray(Wire(head).label("a").pointer(16).label("b").pointer(12)) << 16
        << QByteArray("b.a.") << 20;
    // 12: "a" + pointer to 16; 16: "b" + pointer to 12; 20: pointer to 16.
    QTest::newRow("loop: reached through a pointer from later")
        << QByteArray(Wire(head).label("a").pointer(16).label("b").pointer(12).pointer(16)) << 20
        << QByteArray("b.a.") << 22;
    QTest::newRow("forward pointer is not followed")
        << QByteArray(Wire(head).pointer(14).name("x")) << 12 << QByteArray() << 14;
    int last = 0;
    const QByteArray allowed = pointerChain(kMaxPointersPerName, last);
    QTest::newRow("chain of the most pointers allowed")
        << allowed << last << QByteArray("x") << last + 2;
    const QByteArray tooMany = pointerChain(kMaxPointersPerName + 1, last);
    QTest::newRow("chain of one pointer more") << tooMany << last << QByteArray() << last + 2;

    // The end of the datagram ends the read and keeps what was read.
    QTest::newRow("cut inside a label")
        << QByteArray(Wire(head).u8(7).raw("exa")) << 12 << QByteArray("exa") << 16;
    QTest::newRow("cut after a label")
        << QByteArray(Wire(head).label("mail")) << 12 << QByteArray("mail") << 17;
    QTest::newRow("cut inside a pointer")
        << QByteArray(Wire(head).label("mail").u8(0xC0)) << 12 << QByteArray("mail.") << 17;
    QTest::newRow("start at the end") << QByteArray(head) << 12 << QByteArray() << 12;
}

void TestCodec::readName() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, start);
    QFETCH(QByteArray, text);
    QFETCH(int, end);
    // The reader appends to the text it is given.
    std::size_t pos = static_cast<std::size_t>(start);
    std::string read = "x ";
    ReadName(view(bytes), pos, read);
    QCOMPARE(QByteArray::fromStdString(read), "x " + text);
    QCOMPARE(pos, static_cast<std::size_t>(end));
}

void TestCodec::interpretReply_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("text");

    // MX: the exchange with the lowest preference (the sweeps below also check the earlier
    // one wins a tie, and that RDLENGTH steps over an uncompressed exchange).
    QTest::newRow("MX preferences compared unsigned")
        << QByteArray(reply(15, 2).mx(0x8000, onQuestion("hi")).mx(0x7FFF, onQuestion("lo"))) << 15
        << QByteArray("lo.example.test");
    QTest::newRow("MX CNAME first: empty, whatever follows")
        << QByteArray(reply(15, 2).record(5, onQuestion("alias")).mx(10, onQuestion("mail"))) << 15
        << QByteArray();
    QTest::newRow("MX walk stops at the first other record")
        << QByteArray(reply(15, 3)
                          .mx(20, onQuestion("a"))
                          .record(1, Wire().u32(0x7F000001))
                          .mx(10, onQuestion("b")))
        << 15 << QByteArray("a.example.test");
    QTest::newRow("MX ANCOUNT above the records present")
        << QByteArray(reply(15, 5).mx(30, onQuestion("a")).mx(20, onQuestion("b"))) << 15
        << QByteArray("b.example.test");
    QTest::newRow("MX ANCOUNT 0 with records present")
        << QByteArray(reply(15, 0).mx(10, onQuestion("a"))) << 15 << QByteArray();
    QTest::newRow("MX question name loops")
        << QByteArray(Wire().header(1).pointer(12).u16(15).u16(1).mx(10, onQuestion("a"))) << 15
        << QByteArray();

    // A, NS, SOA: the question name as the reply repeats it, whatever the answers.
    QTest::newRow("A: MX records in the answer are not read")
        << QByteArray(reply(15, 1).mx(10, onQuestion("mail"))) << 1 << QByteArray("example.test");
    QTest::newRow("NS with answers")
        << QByteArray(reply(2, 2).record(2, onQuestion("ns1")).record(2, onQuestion("ns2"))) << 2
        << QByteArray("example.test");
    QTest::newRow("A: the name as the server spells it")
        << QByteArray(Wire().header(0).name("ExAmple.TEST").u16(1).u16(1)) << 1
        << QByteArray("ExAmple.TEST");
    QTest::newRow("A: blanks around the name removed")
        << QByteArray(Wire().header(0).label(" a").label("b ").u8(0).u16(1).u16(1)) << 1
        << QByteArray("a.b");
    QTest::newRow("A: a name of blanks only")
        << QByteArray(Wire().header(0).label("  ").u8(0).u16(1).u16(1)) << 1 << QByteArray();
}

void TestCodec::interpretReply() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, type);
    QTEST(interpret(bytes, type), "text");
}

void TestCodec::truncatedReplies_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("text");
    // Every name a cut reply could show part of.
    QTest::addColumn<QByteArrayList>("names");

    QTest::newRow("SOA NXDOMAIN") << QByteArray(reply(6, 0, 0x8183, 1).record(6, soaData())) << 6
                                  << QByteArray("example.test") << QByteArrayList{"example.test"};
    QTest::newRow("MX 20/10/10") << QByteArray(reply(15, 3)
                                                   .mx(20, onQuestion("mx1"))
                                                   .mx(10, onQuestion("mx2"))
                                                   .mx(10, onQuestion("mx3")))
                                 << 15 << QByteArray("mx2.example.test")
                                 << QByteArrayList{"mx1.example.test", "mx2.example.test",
                                                   "mx3.example.test"};
    QTest::newRow("MX uncompressed, then compressed")
        << QByteArray(
               reply(15, 2).mx(20, Wire().name("a.long.exchange.test")).mx(10, onQuestion("b")))
        << 15 << QByteArray("b.example.test")
        << QByteArrayList{"a.long.exchange.test", "b.example.test"};
}

// Every cut of a reply, from 0 bytes (shorter than 8 read nothing) to one byte short.
void TestCodec::truncatedReplies() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, type);
    QFETCH(QByteArrayList, names);

    for (qsizetype length = 0; length < bytes.size(); ++length) {
        const QByteArray read = interpret(bytes.left(length), type);
        const bool prefix = std::any_of(names.cbegin(), names.cend(), [&](const QByteArray& name) {
            return name.startsWith(read);
        });
        if (!prefix)
            QFAIL(qPrintable(QStringLiteral("cut at %1 bytes read \"%2\"")
                                 .arg(length)
                                 .arg(QString::fromLatin1(read))));
        QVERIFY(length >= 8 || read.isEmpty());
    }
    QTEST(interpret(bytes, type), "text");
}

void TestCodec::mutatedReplies() {
    // Every byte of two annotated replies set in turn to values that are lengths, pointers
    // and zeros: the readers stay inside the datagram (AddressSanitizer watches) and a name
    // never grows beyond one copy of the datagram per pointer followed.
    const QByteArray replies[] = {
        reply(15, 3)
            .mx(20, onQuestion("mx1"))
            .mx(10, Wire().name("mx2.other.test"))
            .mx(10, Wire().pointer(12)),
        reply(6, 1, 0x8180, 1).record(6, soaData()).record(6, soaData()),
    };
    const QByteArray query = queryFor("example.test", kTypeMX);
    for (const QByteArray& original : replies) {
        for (qsizetype at = 0; at < original.size(); ++at) {
            for (const int value : {0x00, 0x01, 0x3F, 0x40, 0xBF, 0xC0, 0xFF}) {
                QByteArray bytes = original;
                bytes[at] = static_cast<char>(value);
                for (const int type : {1, 2, 6, 15})
                    QVERIFY(interpret(bytes, type).size() <=
                            bytes.size() * (kMaxPointersPerName + 1));
                for (std::size_t start = 0; start <= static_cast<std::size_t>(bytes.size());
                     ++start) {
                    std::size_t pos = start;
                    std::string text;
                    ReadName(view(bytes), pos, text);
                    QVERIFY(pos <= static_cast<std::size_t>(bytes.size()));
                }
                (void)IsAnswerTo(view(bytes), view(query));
            }
        }
    }
}

void TestCodec::isAnswerTo_data() {
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("answers");

    const QByteArray mx = queryFor("example.test", kTypeMX);
    const QByteArray answer = reply(15, 1).mx(10, onQuestion("mail"));
    QTest::newRow("answer") << mx << answer << true;
    QTest::newRow("NXDOMAIN") << mx << QByteArray(reply(15, 0, 0x8183)) << true;
    QTest::newRow("name in another case")
        << mx << QByteArray(Wire().header(0).name("EXAMPLE.Test").u16(15).u16(1)) << true;
    QTest::newRow("query in mixed case, reply in lower case")
        << queryFor("ExAmple.TEST", kTypeMX) << QByteArray(reply(15, 0)) << true;

    QTest::newRow("QR clear: a query, not a response")
        << mx << QByteArray(reply(15, 0, 0x0180)) << false;
    QTest::newRow("our own query echoed") << mx << mx << false;
    for (const int at : {0, 1}) {
        QByteArray otherId = answer;
        otherId[at] = static_cast<char>(otherId[at] ^ 0x01);
        QTest::addRow("other ID, byte %d", at) << mx << otherId << false;
    }
    QByteArray noQuestion = reply(15, 0);
    noQuestion[5] = 0;
    QTest::newRow("QDCOUNT 0: the server's word without a question") << mx << noQuestion << true;
    noQuestion[2] = 0x01;
    QTest::newRow("QDCOUNT 0 but QR clear") << mx << noQuestion << false;
    QTest::newRow("other name of the same length")
        << mx << QByteArray(Wire().header(0).name("examplf.test").u16(15).u16(1)) << false;
    QTest::newRow("same bytes, labels split elsewhere")
        << mx << QByteArray(Wire().header(0).name("exampl.etest").u16(15).u16(1)) << false;
    QTest::newRow("other type") << mx << QByteArray(reply(1, 0)) << false;
    QTest::newRow("other class") << mx
                                 << QByteArray(Wire().header(0).name("example.test").u16(15).u16(3))
                                 << false;
    for (const int length : {11, 20, 29}) {
        QTest::addRow("cut to %d bytes", length)
            << mx << QByteArray(reply(15, 0)).left(length) << false;
    }
    QTest::newRow("query too short to hold a question") << mx.left(12) << answer << false;

    // A name with an empty label or a label of 192+ bytes ends early where a server reads it:
    // the reply repeats that shorter question. These are the replies a local dnsmasq sends.
    QTest::newRow("trailing dot: REFUSED for type 0, class 0F00")
        << queryFor("example.test.", kTypeMX)
        << QByteArray(Wire().header(0, 0x8185).name("example.test").u16(0x0000).u16(0x0F00))
        << true;
    QTest::newRow("trailing dot: the question we meant is another question")
        << queryFor("example.test.", kTypeMX) << QByteArray(reply(15, 0)) << false;
    QTest::newRow("leading dot: REFUSED for type 0765, class 7861")
        << queryFor(".example.test", 1)
        << QByteArray(Wire().header(0, 0x8185).u8(0).u16(0x0765).u16(0x7861)) << true;
    QTest::newRow("empty name: REFUSED for type 0, class 0100")
        << queryFor("", 1) << QByteArray(Wire().header(0, 0x8185).u8(0).u16(0x0000).u16(0x0100))
        << true;
    QTest::newRow("200-byte label: read as a pointer, REFUSED")
        << queryFor(QByteArray(200, 'a') + ".test", 1)
        << QByteArray(Wire().header(0, 0x8185).u8(0xC8).raw("aaaaa")) << true;
}

void TestCodec::isAnswerTo() {
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, reply);
    QTEST(IsAnswerTo(view(reply), view(query)), "answers");
}

void TestCodec::replyHeader_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("rcode"); // -1: no header
    QTest::addColumn<bool>("truncated");

    QTest::newRow("NOERROR") << QByteArray(reply(15, 0)) << 0 << false;
    QTest::newRow("NXDOMAIN") << QByteArray(reply(15, 0, 0x8183)) << 3 << false;
    QTest::newRow("REFUSED, RA and Z bits set beside it")
        << QByteArray(reply(15, 0, 0x81F5)) << 5 << false;
    QTest::newRow("TC with AA and RD beside it") << QByteArray(reply(15, 0, 0x8782)) << 2 << true;
    QTest::newRow("header only") << QByteArray(Wire().header(0, 0x8184)) << 4 << false;
    QTest::newRow("one byte short of a header")
        << QByteArray(Wire().header(0, 0x8185)).left(11) << -1 << false;
}

void TestCodec::replyHeader() {
    QFETCH(QByteArray, reply);
    QFETCH(int, rcode);
    const std::optional<ReplyHeader> header = ReadReplyHeader(view(reply));
    QCOMPARE(header.has_value(), rcode >= 0);
    if (header) {
        QCOMPARE(int(header->rcode), rcode);
        QTEST(header->truncated, "truncated");
    }
}

namespace {

QByteArray framed(const QByteArray& message) {
    const Bytes bytes = FrameForStream(view(message));
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

} // namespace

void TestCodec::streamReader_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<QList<QByteArray>>("messages"); // handed out, in order
    QTest::addColumn<bool>("broken");

    const QByteArray a = QByteArray(reply(15, 0));
    const QByteArray b = QByteArray(reply(1, 0, 0x8183));
    QTest::newRow("two messages") << framed(a) + framed(b) << 512 << QList{a, b} << false;
    QTest::newRow("half a message waits")
        << framed(a).left(a.size() / 2) << 512 << QList<QByteArray>{} << false;
    QTest::newRow("a message at the capacity") << framed(a) << int(a.size()) << QList{a} << false;
    QTest::newRow("announced length over the capacity")
        << framed(a) + framed(b) << int(a.size()) - 1 << QList<QByteArray>{} << true;
    QTest::newRow("nothing after a length over the capacity")
        << framed(a) + QByteArray("\xff\xff") + framed(b) << 512 << QList{a} << true;
    QTest::newRow("empty message")
        << framed(a) + QByteArray(2, '\0') + framed(b) << 512 << QList{a} << true;
    QTest::newRow("longest message")
        << framed(QByteArray(65535, 'x')) << 65535 << QList{QByteArray(65535, 'x')} << false;
}

void TestCodec::streamReader() {
    QFETCH(QByteArray, stream);
    QFETCH(int, capacity);
    QFETCH(QList<QByteArray>, messages);
    QFETCH(bool, broken);
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
                read << QByteArray(reinterpret_cast<const char*>(message.data()),
                                   static_cast<qsizetype>(message.size()));
        }
        QCOMPARE(read, messages);
        QCOMPARE(reader.broken(), broken);
    }
}

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"
