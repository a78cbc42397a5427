#pragma once
// The run's checks as a table: one row per server, one column per check in plain words, the
// evidence as each cell's tooltip; for the window's Checks tab and the command-line table.

#include "core/checks/serverchecks.h"

#include <QAbstractTableModel>
#include <QJsonObject>
#include <QList>
#include <QStringList>

namespace tarnbell::core {

class ChecksTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Server = 0, Nxdomain, Dnssec, Rebinding, Tcp, Edns, Nsid, Discovery };
    static constexpr int kColumnCount = Discovery + 1;

    using QAbstractTableModel::QAbstractTableModel;

    void setChecks(QList<ServerChecks> checks);
    const ServerChecks& checksAt(int row) const { return m_checks.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Display: the words; ToolTipRole: the evidence; MarkRole-like colours are the view's.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<ServerChecks> m_checks;
};

// A server's checks as the JSON gives them: each check's verdict, words and evidence, the
// NSID, and the designated endpoints with their verification.
QJsonObject checksJson(const ServerChecks& checks);

// The entries of the endpoints `checks` found that a run can ask, in the resolver's order of
// preference: DNS over QUIC has no probe, so it is named but never listed.
QStringList DiscoveredEntries(const ServerChecks& checks);

} // namespace tarnbell::core
