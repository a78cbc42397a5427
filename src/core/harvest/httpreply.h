#pragma once
// Reading the whole of one HTTP/1.x reply, as received up to the host's close: its status,
// where a redirect points and the body, with a chunked body put back together so that a
// link split between two chunks stays whole.

#include <QByteArray>
#include <QByteArrayView>

namespace tarnbell::core {

struct HttpReply {
    bool valid = false;    // a status line and a complete head arrived
    int status = 0;        // 200, 302, ...
    QByteArray statusLine; // "HTTP/1.1 200 OK", for messages
    QByteArray location;   // the Location header of a redirect, as sent
    QByteArray body;       // decoded from chunks; cut at Content-Length; as far as it came

    bool isRedirect() const {
        return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    }
    bool isSuccess() const { return status >= 200 && status <= 299; }
};

HttpReply readHttpReply(QByteArrayView raw);

} // namespace tarnbell::core
