#include "dialogs.h"

#include <QInputDialog>
#include <QMessageBox>

namespace tarnbell::gui {

namespace {

void prepare(QWidget* dialog) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setWindowTitle(QString::fromLatin1(kAppTitle));
}

} // namespace

QMessageBox* ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon,
                         std::function<void()> done) {
    auto* box = new QMessageBox(parent);
    prepare(box);
    box->setIcon(icon);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    if (done)
        QObject::connect(box, &QDialog::finished, box, [done = std::move(done)] { done(); });
    box->show();
    return box;
}

QInputDialog* AskText(QWidget* parent, const QString& prompt, const QString& initial,
                      std::function<void(const QString&)> done) {
    auto* input = new QInputDialog(parent);
    prepare(input);
    input->setInputMode(QInputDialog::TextInput);
    input->setLabelText(prompt);
    input->setTextValue(initial);
    QObject::connect(input, &QDialog::finished, input, [input, done = std::move(done)](int result) {
        done(result == QDialog::Accepted ? input->textValue() : QString());
    });
    input->show();
    return input;
}

} // namespace tarnbell::gui
