#include "question.h"

#include "dialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace tarnbell::gui {

QMessageBox* AskFirst(QWidget* parent, const QString& text, const QString& detail,
                      const QString& confirmCaption, std::function<void()> confirmed) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(QString::fromLatin1(kAppTitle));
    box->setIcon(QMessageBox::Question);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setInformativeText(detail);
    QPushButton* confirm = box->addButton(confirmCaption, QMessageBox::AcceptRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Cancel);
    QObject::connect(box, &QMessageBox::buttonClicked, box,
                     [confirm, confirmed = std::move(confirmed)](QAbstractButton* clicked) {
                         if (clicked == confirm)
                             confirmed();
                     });
    box->show();
    return box;
}

} // namespace tarnbell::gui
