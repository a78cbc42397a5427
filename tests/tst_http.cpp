// The HTTP/1.1 response reader of DNS over HTTPS, fed whole and one byte at a time: every
// response a read holds, interim responses passed over, chunked bodies, and what breaks it.

#include "http/http1reader.h"

#include <QTest>

using tarnbell::http::Http1Reader;
using tarnbell::http::Http1Response;

namespace {

const QByteArray kHead = "HTTP/1.1 200 OK\r\nContent-Type: application/dns-message\r\n";

// "status:body" for each response handed out, then "broken: why" if the reader broke.
QStringList readAll(const QByteArray& bytes, qsizetype piece) {
    Http1Reader reader(16);
    QStringList seen;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const QByteArray part = bytes.mid(at, piece);
        reader.append({reinterpret_cast<const std::uint8_t*>(part.data()),
                       static_cast<std::size_t>(part.size())});
        Http1Response response;
        Http1Reader::Status status;
        while ((status = reader.next(response)) == Http1Reader::Status::Response)
            seen << QStringLiteral("%1:%2")
                            .arg(response.status)
                            .arg(QLatin1String(reinterpret_cast<const char*>(response.body.data()),
                                               static_cast<qsizetype>(response.body.size()))) +
                        (response.closes ? ":close" : "");
        if (status == Http1Reader::Status::Broken)
            return seen << QStringLiteral("broken: ") + QString::fromStdString(reader.error());
    }
    return seen;
}

} // namespace

class TestHttp final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsResponses_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("two in one read, the second closing")
            << kHead + "Content-Length: 3\r\n\r\nabc" + kHead +
                   "Content-Length: 2\r\nConnection: close\r\n\r\nde"
            << QStringList{"200:abc", "200:de:close"};
        QTest::newRow("interim 100 and 103 passed over")
            << "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: x\r\n\r\n" + kHead +
                   "Content-Length: 1\r\n\r\nz"
            << QStringList{"200:z"};
        QTest::newRow("chunked, with an extension and a trailer")
            << kHead + "Transfer-Encoding: chunked\r\n\r\n2;x=1\r\nab\r\nA\r\n0123456789\r\n0\r\n"
                       "T: 1\r\n\r\n"
            << QStringList{"200:ab0123456789"};
        QTest::newRow("no body on 204, an error status")
            << QByteArray("HTTP/1.1 204 No Content\r\n\r\nHTTP/1.1 500 Oops\r\nContent-Length: "
                          "1\r\n\r\nx")
            << QStringList{"204:", "500:x"};
        const QString over = "broken: the server sent more than one answer's worth of data";
        QTest::newRow("body over the limit") << kHead + "Content-Length: 17\r\n\r\n"
                                             << QStringList{over};
        QTest::newRow("chunks over the limit")
            << kHead + "Transfer-Encoding: chunked\r\n\r\n9\r\n123456789\r\n9\r\n"
            << QStringList{over};
        QTest::newRow("endless head") << QByteArray(17 * 1024, 'x') << QStringList{over};
        QTest::newRow("no length")
            << kHead + "\r\nabc" << QStringList{"broken: the HTTP answer gives no length"};
        QTest::newRow("two lengths")
            << kHead + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n"
            << QStringList{"broken: the HTTP answer's length cannot be read"};
        QTest::newRow("switching protocols")
            << QByteArray("HTTP/1.1 101 Switching\r\n\r\n")
            << QStringList{"broken: the server switched to another protocol"};
        QTest::newRow("not HTTP") << QByteArray("SSH-2.0-x\r\n\r\n")
                                  << QStringList{"broken: not an HTTP/1.1 answer"};
    }
    void readsResponses() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, seen);
        QCOMPARE(readAll(bytes, bytes.size()), seen);
        QCOMPARE(readAll(bytes, 1), seen);
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
