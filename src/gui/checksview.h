#pragma once
// The "Checks" tab: what each server's checks found, one row per server and one column per
// check in plain words, the evidence in each cell's tooltip; and the way to list the
// encrypted endpoints a server designates for itself, as servers of their own.

#include "core/checks/serverchecks.h"

#include <QList>
#include <QWidget>

class QAction;
class QPushButton;
class QTableView;

namespace tarnbell::core {
class ChecksTableModel;
}

namespace tarnbell::gui {

class ChecksView final : public QWidget {
    Q_OBJECT
public:
    explicit ChecksView(QWidget* parent = nullptr);

    // Replaces the rows; the first is selected, so its endpoints can be added at once.
    void setChecks(const QList<core::ServerChecks>& checks);
    // A run has the server list locked: no endpoint can be added meanwhile.
    void setLocked(bool locked);

    core::ChecksTableModel* model() const { return m_model; }
    QTableView* table() const { return m_table; }
    QPushButton* addButton() const { return m_add; }

Q_SIGNALS:
    // "Add discovered endpoints" on the selected server: its askable endpoints' entries.
    void addRequested(const QString& server, const QStringList& entries);

private:
    int selectedRow() const;
    void followSelection();

    core::ChecksTableModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QPushButton* m_add = nullptr;
    QAction* m_addAction = nullptr;
    bool m_locked = false;
};

} // namespace tarnbell::gui
