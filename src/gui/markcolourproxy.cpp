#include "markcolourproxy.h"

#include "core/results/resultmodels.h"
#include "readablecolour.h"

#include <QColor>
#include <QWidget>

namespace tarnbell::gui {

QVariant MarkColourProxy::data(const QModelIndex& index, int role) const {
    if (role != Qt::ForegroundRole)
        return QIdentityProxyModel::data(index, role);
    QColor written;
    switch (static_cast<core::Mark>(QIdentityProxyModel::data(index, core::MarkRole).toInt())) {
    case core::Mark::Local:
        written = QColor(255, 0, 0);
        break;
    case core::Mark::Winner:
        written = QColor(0, 0, 255);
        break;
    case core::Mark::None:
        return {};
    }
    return Readable(written, m_view->palette().color(QPalette::Base));
}

} // namespace tarnbell::gui
