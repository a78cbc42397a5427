#pragma once
// What the checks of a server found, beyond its speed: whether it lies about names that do not
// exist, validates DNSSEC, keeps public names from pointing at private addresses, answers over
// TCP and with EDNS (and which instance answered, by its NSID), and which encrypted endpoints
// it announces for itself (RFC 9462). A check that cannot be made says so; it never passes.

#include <QList>
#include <QString>

namespace tarnbell::core {

enum class CheckVerdict { Unknown, Pass, Fail };

struct CheckOutcome {
    CheckVerdict verdict = CheckVerdict::Unknown;
    QString words;    // plain words: "honest", "redirects", "validates", ...
    QString evidence; // what the answers showed: an address, a response code, a flag
};

// An encrypted endpoint a resolver designates for itself in its SVCB records.
struct DiscoveredEndpoint {
    QString scheme; // "tls", "https" or "quic"
    QString address;
    quint16 port = 0;
    QString authName;      // the name its certificate must carry
    QString path;          // DNS over HTTPS: the path of its URI template
    bool verified = false; // its certificate also covers the resolver's own address
    QString verification;  // why it is or is not verified, in plain words
    // The server entry that asks it: "tls://ADDR:PORT#NAME", "https://ADDR:PORT#NAME/PATH".
    QString entry() const;
};

struct ServerChecks {
    QString serverEntry;
    CheckOutcome nxdomain;
    CheckOutcome dnssec;
    CheckOutcome rebinding;
    CheckOutcome tcp;
    CheckOutcome edns;
    CheckOutcome discovery;
    QString nsid; // the answering instance, when the server names it
    QList<DiscoveredEndpoint> endpoints;
};

// "pass", "fail", "unknown": as the JSON names a verdict.
QString checkVerdictName(CheckVerdict verdict);

// The names the checks ask about; each a setting (--dnssec-names, --rebind-name).
struct CheckNames {
    // A name in a zone signed correctly, and one in a zone whose signatures are broken on
    // purpose, both kept by third parties for testing resolvers.
    QString signedName = QStringLiteral("sigok.verteiltesysteme.net");
    QString bogusName = QStringLiteral("sigfail.verteiltesysteme.net");
    // A public name that resolves to a loopback address, kept by a third party for testing.
    QString rebindName = QStringLiteral("localtest.me");
};

} // namespace tarnbell::core
