#pragma once
// Where the metrics listener listens: "ADDR:PORT", "[IPv6]:PORT", or a port alone (":PORT" or
// "PORT"), which stays on the loopback address: metrics are served beyond this machine only
// when the user names an address that reaches further.

#include <QHostAddress>
#include <QString>
#include <QStringView>

namespace tarnbell::core {

struct ListenAddress {
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 0;
    QString errorText; // plain words when the text is not an address and port

    bool isValid() const { return errorText.isEmpty(); }
};

ListenAddress parseListenAddress(QStringView text);

} // namespace tarnbell::core
