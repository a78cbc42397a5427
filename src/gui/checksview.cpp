#include "checksview.h"

#include "core/checks/checkstablemodel.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace tarnbell::gui {

ChecksView::ChecksView(QWidget* parent) : QWidget(parent) {
    m_model = new core::ChecksTableModel(this);
    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("checksTable"));
    m_table->setModel(m_model);
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setAccessibleName(QStringLiteral("Checks per server"));
    m_table->setToolTip(QStringLiteral("What each server's checks found; point at a cell for "
                                       "the evidence"));
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);

    const QString addText = QStringLiteral("Add &discovered endpoints");
    const QString addTip = QStringLiteral(
        "Add the selected server's encrypted endpoints (DNS over TLS and HTTPS) to the DNS "
        "servers, leaving out those already listed");
    m_add = new QPushButton(addText);
    m_add->setObjectName(QStringLiteral("cmdAddEndpoints"));
    m_add->setAutoDefault(false); // Enter goes to "Benchmark!" (see frmMain)
    m_add->setToolTip(addTip);
    m_addAction = new QAction(addText, m_table);
    m_addAction->setObjectName(QStringLiteral("addEndpoints"));
    m_addAction->setToolTip(addTip);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_table->addAction(m_addAction);

    auto* legend = new QLabel(QStringLiteral(
        "Made once per server before its lookups, never timed. \"unknown\": the check could "
        "not be made (no answer, or the test name is gone)."));
    legend->setWordWrap(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(legend, 1);
    bottom->addWidget(m_add);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);

    const auto add = [this] {
        const int row = selectedRow();
        if (m_locked || row < 0)
            return;
        const core::ServerChecks& checks = m_model->checksAt(row);
        emit addRequested(checks.serverEntry, core::DiscoveredEntries(checks));
    };
    connect(m_add, &QPushButton::clicked, this, add);
    connect(m_addAction, &QAction::triggered, this, add);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ChecksView::followSelection);
    followSelection();
}

void ChecksView::setChecks(const QList<core::ServerChecks>& checks) {
    const int row = selectedRow();
    m_model->setChecks(checks);
    // The same server stays selected as rows are added during a run.
    if (m_model->rowCount() > 0)
        m_table->selectRow(std::clamp(row, 0, m_model->rowCount() - 1));
    followSelection();
}

void ChecksView::setLocked(bool locked) {
    m_locked = locked;
    followSelection();
}

int ChecksView::selectedRow() const {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

// Only a server with endpoints a run can ask offers to add them.
void ChecksView::followSelection() {
    const int row = selectedRow();
    const bool offered =
        !m_locked && row >= 0 && !core::DiscoveredEntries(m_model->checksAt(row)).isEmpty();
    m_add->setEnabled(offered);
    m_addAction->setEnabled(offered);
}

} // namespace tarnbell::gui
