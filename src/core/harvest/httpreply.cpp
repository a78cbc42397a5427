#include "core/harvest/httpreply.h"

#include <QList>

namespace tarnbell::core {

namespace {

// The body of a chunked reply: each chunk's size line (hex, perhaps with extensions) is
// dropped. A reply cut short keeps the chunks that came, and the part of the last one.
QByteArray unchunk(QByteArrayView rest) {
    QByteArray body;
    while (!rest.isEmpty()) {
        const qsizetype lineEnd = rest.indexOf('\n');
        if (lineEnd < 0)
            break;
        QByteArrayView sizeText = rest.first(lineEnd);
        if (const qsizetype extension = sizeText.indexOf(';'); extension >= 0)
            sizeText = sizeText.first(extension);
        bool ok = false;
        const qlonglong size = sizeText.trimmed().toLongLong(&ok, 16);
        if (!ok || size <= 0)
            break; // the last chunk, or not a size at all
        rest = rest.sliced(lineEnd + 1);
        const qsizetype take = qMin<qsizetype>(static_cast<qsizetype>(size), rest.size());
        body += rest.first(take);
        rest = rest.sliced(take);
        if (rest.startsWith("\r\n"))
            rest = rest.sliced(2);
        else if (rest.startsWith('\n'))
            rest = rest.sliced(1);
    }
    return body;
}

} // namespace

HttpReply readHttpReply(QByteArrayView raw) {
    HttpReply reply;
    qsizetype headEnd = raw.indexOf("\r\n\r\n");
    qsizetype bodyStart = headEnd + 4;
    if (headEnd < 0) { // a host that ends its lines with LF alone
        headEnd = raw.indexOf("\n\n");
        bodyStart = headEnd + 2;
    }
    if (headEnd < 0 || !raw.startsWith("HTTP/1."))
        return reply;

    const QList<QByteArray> lines = raw.first(headEnd).toByteArray().split('\n');
    reply.statusLine = lines.first().trimmed();
    const QList<QByteArray> parts = reply.statusLine.split(' ');
    bool ok = false;
    reply.status = parts.size() >= 2 ? parts.at(1).toInt(&ok) : 0;
    if (!ok || reply.status < 100 || reply.status > 999)
        return reply;

    bool chunked = false;
    qlonglong length = -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.first(colon).trimmed().toLower();
        const QByteArray value = line.sliced(colon + 1).trimmed();
        if (name == "location")
            reply.location = value;
        else if (name == "transfer-encoding")
            chunked = value.toLower().contains("chunked");
        else if (const qlonglong n = value.toLongLong(&ok);
                 name == "content-length" && ok && n >= 0)
            length = n;
    }

    const QByteArrayView rest = raw.sliced(bodyStart);
    if (chunked)
        reply.body = unchunk(rest);
    else if (length >= 0 && length < rest.size())
        reply.body = rest.first(static_cast<qsizetype>(length)).toByteArray();
    else
        reply.body = rest.toByteArray();
    reply.valid = true;
    return reply;
}

} // namespace tarnbell::core
