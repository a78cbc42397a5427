#pragma once
// A one-line label whose text changes all the time (the status line, the progress text, the
// server under test). Its size does not follow its text, so a new text costs a repaint only,
// not the text measuring of a whole window layout.

#include <QLabel>

namespace tarnbell::gui {

class StatusLabel final : public QLabel {
    Q_OBJECT
public:
    // `widthText` sets the width it asks for; the layout may give it more or less.
    explicit StatusLabel(const QString& text, const QString& widthText = QString(),
                         QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    // A text wider than the label ends in "…", and the whole of it is the tooltip: a server
    // name cut off mid-word would read as another name.
    void paintEvent(QPaintEvent* event) override;

private:
    void measure();

    QString m_widthText;
    QSize m_hint;
    bool m_tipIsText = false; // the tooltip shows the cut text; m_ownTip waits meanwhile
    QString m_ownTip;
};

} // namespace tarnbell::gui
