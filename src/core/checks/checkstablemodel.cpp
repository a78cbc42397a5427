#include "core/checks/checkstablemodel.h"

#include <QJsonArray>
#include <QStringList>
#include <array>

namespace tarnbell::core {
namespace {

const CheckOutcome* outcomeAt(const ServerChecks& checks, int column) {
    switch (column) {
    case ChecksTableModel::Nxdomain:
        return &checks.nxdomain;
    case ChecksTableModel::Dnssec:
        return &checks.dnssec;
    case ChecksTableModel::Rebinding:
        return &checks.rebinding;
    case ChecksTableModel::Tcp:
        return &checks.tcp;
    case ChecksTableModel::Edns:
        return &checks.edns;
    case ChecksTableModel::Discovery:
        return &checks.discovery;
    default:
        return nullptr;
    }
}

QJsonObject outcomeJson(const CheckOutcome& outcome) {
    return {{"verdict", checkVerdictName(outcome.verdict)},
            {"words", outcome.words},
            {"evidence", outcome.evidence}};
}

QString endpointsText(const ServerChecks& checks) {
    QStringList lines;
    for (const DiscoveredEndpoint& endpoint : checks.endpoints)
        lines << endpoint.entry() + QStringLiteral(": ") + endpoint.verification;
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void ChecksTableModel::setChecks(QList<ServerChecks> checks) {
    beginResetModel();
    m_checks = std::move(checks);
    endResetModel();
}

int ChecksTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_checks.size());
}

int ChecksTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ChecksTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount)
        return {};
    const ServerChecks& checks = m_checks.at(index.row());
    const CheckOutcome* outcome = outcomeAt(checks, index.column());
    if (role == Qt::DisplayRole) {
        if (index.column() == Server)
            return checks.serverEntry;
        if (index.column() == Nsid)
            return checks.nsid;
        return outcome->words;
    }
    if (role == Qt::ToolTipRole && outcome) {
        if (index.column() == Discovery && !checks.endpoints.isEmpty())
            return endpointsText(checks);
        return outcome->evidence;
    }
    return {};
}

QVariant ChecksTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount ||
        role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const std::array<const char*, kColumnCount> titles{
        "DNS Server", "NXDOMAIN", "DNSSEC", "Rebinding",
        "TCP",        "EDNS",     "NSID",   "Encrypted endpoints"};
    return QString::fromLatin1(titles[static_cast<std::size_t>(section)]);
}

QJsonObject checksJson(const ServerChecks& checks) {
    QJsonArray endpoints;
    for (const DiscoveredEndpoint& endpoint : checks.endpoints) {
        endpoints.append(QJsonObject{{"entry", endpoint.entry()},
                                     {"scheme", endpoint.scheme},
                                     {"address", endpoint.address},
                                     {"port", endpoint.port},
                                     {"auth_name", endpoint.authName},
                                     {"path", endpoint.path},
                                     {"verified", endpoint.verified},
                                     {"verification", endpoint.verification}});
    }
    QJsonObject discovery = outcomeJson(checks.discovery);
    discovery.insert(QStringLiteral("endpoints"), endpoints);
    QJsonObject json{
        {"nxdomain", outcomeJson(checks.nxdomain)},   {"dnssec", outcomeJson(checks.dnssec)},
        {"rebinding", outcomeJson(checks.rebinding)}, {"tcp", outcomeJson(checks.tcp)},
        {"edns", outcomeJson(checks.edns)},           {"discovery", discovery}};
    if (!checks.nsid.isEmpty())
        json.insert(QStringLiteral("nsid"), checks.nsid);
    return json;
}

QStringList DiscoveredEntries(const ServerChecks& checks) {
    QStringList entries;
    for (const DiscoveredEndpoint& endpoint : checks.endpoints) {
        if (endpoint.scheme != QLatin1String("quic"))
            entries << endpoint.entry();
    }
    return entries;
}

} // namespace tarnbell::core
