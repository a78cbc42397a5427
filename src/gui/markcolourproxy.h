#pragma once
// Shows the result models' marks as text colours: the machine's own resolver in red, the
// fastest servers in blue, each made readable on the view's colour scheme.

#include <QIdentityProxyModel>

class QWidget;

namespace tarnbell::gui {

class MarkColourProxy final : public QIdentityProxyModel {
    Q_OBJECT
public:
    // `view` is the list drawn from this model: its base colour is what the marks are read on.
    explicit MarkColourProxy(const QWidget* view, QObject* parent = nullptr)
        : QIdentityProxyModel(parent), m_view(view) {}

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const QWidget* m_view;
};

} // namespace tarnbell::gui
