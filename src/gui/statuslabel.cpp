#include "statuslabel.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

namespace tarnbell::gui {

StatusLabel::StatusLabel(const QString& text, const QString& widthText, QWidget* parent)
    : QLabel(text, parent), m_widthText(widthText) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    measure();
}

void StatusLabel::measure() {
    const QFontMetrics metrics = fontMetrics();
    const QMargins margins = contentsMargins();
    m_hint = QSize(metrics.horizontalAdvance(m_widthText) + margins.left() + margins.right() +
                       2 * margin(),
                   metrics.height() + margins.top() + margins.bottom() + 2 * margin());
}

QSize StatusLabel::sizeHint() const {
    return m_hint;
}

QSize StatusLabel::minimumSizeHint() const {
    return m_hint;
}

void StatusLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        measure();
        updateGeometry();
    }
    QLabel::changeEvent(event);
}

void StatusLabel::paintEvent(QPaintEvent* event) {
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    const bool cut = shown != text();
    if (cut && !m_tipIsText)
        m_ownTip = toolTip();
    if (cut && toolTip() != text())
        setToolTip(text());
    else if (!cut && m_tipIsText)
        setToolTip(m_ownTip);
    m_tipIsText = cut;
    if (!cut) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, room, QStyle::visualAlignment(layoutDirection(), alignment()),
                          palette(), isEnabled(), shown, foregroundRole());
}

} // namespace tarnbell::gui
