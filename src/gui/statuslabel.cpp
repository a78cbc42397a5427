#include "statuslabel.h"

#include <QEvent>

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

} // namespace tarnbell::gui
