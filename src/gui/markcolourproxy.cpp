#include "markcolourproxy.h"

#include "core/resultmodels.h"

#include <QColor>

namespace tarnbell::gui {

QVariant MarkColourProxy::data(const QModelIndex& index, int role) const {
    if (role != Qt::ForegroundRole)
        return QIdentityProxyModel::data(index, role);
    switch (static_cast<core::Mark>(QIdentityProxyModel::data(index, core::MarkRole).toInt())) {
    case core::Mark::Local:
        return QColor(255, 0, 0);
    case core::Mark::Winner:
        return QColor(0, 0, 255);
    case core::Mark::None:
        break;
    }
    return {};
}

} // namespace tarnbell::gui
