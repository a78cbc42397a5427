#include "closeguard.h"

#include "dialogs.h"

#include <QAbstractItemModel>
#include <QMessageBox>
#include <QPushButton>

namespace tarnbell::gui {

CloseGuard::CloseGuard(QWidget* window, QAbstractItemModel* lookups)
    : QObject(window), m_window(window) {
    connect(lookups, &QAbstractItemModel::rowsInserted, this, [this] { ++m_changes; });
    connect(lookups, &QAbstractItemModel::dataChanged, this, [this] { ++m_changes; });
    // An emptied list has nothing left to lose.
    connect(lookups, &QAbstractItemModel::modelReset, this, [this] { m_exportedAt = m_changes; });
}

bool CloseGuard::mayClose(bool running, std::function<void()> confirmed) {
    if (!running && !hasUnexported())
        return true;
    if (m_question) // asked already; the open box answers
        return false;
    const QString text =
        running ? QStringLiteral("A benchmark is under way. Closing Tarnbell ends it and its "
                                 "results are lost.")
                : QStringLiteral("The results have not been exported. Closing Tarnbell "
                                 "discards them.");
    auto* box = new QMessageBox(m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(QString::fromLatin1(kAppTitle));
    box->setObjectName(QStringLiteral("CloseQuestion"));
    box->setIcon(QMessageBox::Question);
    box->setText(text);
    box->setInformativeText(QStringLiteral("Close Tarnbell anyway?"));
    QPushButton* close = box->addButton(QStringLiteral("&Close"), QMessageBox::AcceptRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Cancel);
    connect(box, &QMessageBox::buttonClicked, this,
            [close, confirmed = std::move(confirmed)](QAbstractButton* clicked) {
                if (clicked == close)
                    confirmed();
            });
    m_question = box;
    box->show();
    return false;
}

} // namespace tarnbell::gui
