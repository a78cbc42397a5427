#pragma once
// Shows the result models' marks as text colours: the machine's own resolver in red, the
// fastest servers in blue.

#include <QIdentityProxyModel>

namespace tarnbell::gui {

class MarkColourProxy final : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};

} // namespace tarnbell::gui
