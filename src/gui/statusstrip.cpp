#include "statusstrip.h"

#include "core/results/statistics.h"
#include "core/run/tickscale.h"
#include "readablecolour.h"
#include "statuslabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPen>

namespace tarnbell::gui {

QColor progressFill(double percentDone) {
    return QColor(150, static_cast<int>(core::roundHalfEven(155.0 + percentDone)),
                  static_cast<int>(core::roundHalfEven(255.0 - percentDone)));
}

QColor progressCompleteFill() {
    return QColor(150, 255, 255);
}

// The fill is a child widget so that it can be found and measured on its own; it draws the
// tick layer over itself so the ticks stay visible as the fill passes them.
class ProgressFill final : public QWidget {
public:
    ProgressFill(StatusStrip* strip) : QWidget(strip), m_strip(strip) {
        setObjectName(QStringLiteral("sProgress"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void setColour(const QColor& colour) {
        if (colour == m_colour)
            return;
        m_colour = colour;
        update();
    }
    QColor colour() const { return m_colour; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        // The status texts are drawn over the fill in the scheme's text colour.
        painter.fillRect(rect(), Readable(m_colour, palette().color(QPalette::WindowText)));
        painter.drawPixmap(QPoint(0, 0), m_strip->tickLayer());
    }

private:
    StatusStrip* m_strip;
    QColor m_colour{128, 255, 255};
};

StatusStrip::StatusStrip(QWidget* parent)
    : QFrame(parent), m_label2(new QLabel(QStringLiteral("Status"), this)),
      m_status(new StatusLabel(QStringLiteral("Ready."), QStringLiteral("Ready."), this)),
      m_progressText(new StatusLabel(QString(), QStringLiteral("100.00% complete  "), this)),
      m_fill(new ProgressFill(this)) {
    setObjectName(QStringLiteral("sProgressOut"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    m_label2->setObjectName(QStringLiteral("Label2"));
    m_status->setObjectName(QStringLiteral("lS"));
    m_progressText->setObjectName(QStringLiteral("lProgress"));
    QFont bold = m_label2->font();
    bold.setBold(true);
    m_label2->setFont(bold);
    m_progressText->setFont(bold);
    m_progressText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Long server names must not widen the window: the status line gives way instead.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_status->setMinimumWidth(40);
    m_progressText->setMinimumWidth(
        m_progressText->fontMetrics().horizontalAdvance(QStringLiteral("100.00% complete  ")));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 2, 8, 6); // room below the text for the ticks
    layout->setSpacing(8);
    layout->addWidget(m_label2);
    layout->addWidget(m_status, 1);
    layout->addWidget(m_progressText);
    m_fill->lower(); // under the labels
    setMinimumHeight(25);
    placeFill();
}

QWidget* StatusStrip::sProgress() const {
    return m_fill;
}

void StatusStrip::setTickCounts(int servers, int domains) {
    servers = std::max(servers, 0);
    domains = std::max(domains, 0);
    if (servers == m_servers && domains == m_domains)
        return;
    m_servers = servers;
    m_domains = domains;
    m_ticksValid = false;
    update();
    m_fill->update();
}

void StatusStrip::setProgress(double percent, const QColor& colour) {
    m_percent = std::clamp(percent, 0.0, 100.0);
    m_fill->setColour(colour);
    placeFill();
}

void StatusStrip::clearProgress() {
    m_percent = 0.0;
    placeFill();
}

void StatusStrip::placeFill() {
    const QRect inner = contentsRect();
    const int width =
        m_percent < 0.0 ? 1 : static_cast<int>(m_percent / 100.0 * inner.width() + 0.5);
    m_fill->setGeometry(inner.x(), inner.y(), width, inner.height());
}

const QPixmap& StatusStrip::tickLayer() {
    const QSize size = contentsRect().size();
    const qreal ratio = devicePixelRatioF();
    if (m_ticksValid && m_ticks.deviceIndependentSize().toSize() == size &&
        m_ticks.devicePixelRatio() == ratio)
        return m_ticks;

    // Thousands of ticks at most (99 x 99 lookups): drawn once per change of counts or size,
    // not on every repaint during a run.
    m_ticks = QPixmap((QSizeF(size) * ratio).toSize());
    m_ticks.setDevicePixelRatio(ratio);
    m_ticks.fill(Qt::transparent);
    const core::TickScale scale =
        core::TickScaleFor(static_cast<float>(size.width()), m_servers, m_domains);
    QPainter painter(&m_ticks);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 0)); // cosmetic: one device pixel
    const qreal height = size.height();
    const qreal lastColumn = size.width() - 1; // a tick at the full width marks the right edge
    const auto drawRow = [&](const QList<float>& positions, float top) {
        for (const float position : positions) {
            const qreal x = std::min<qreal>(position, lastColumn);
            painter.drawLine(QLineF(x, top * height, x, height));
        }
    };
    drawRow(scale.lookupTicks, core::kLookupTickTop);
    drawRow(scale.serverTicks, core::kServerTickTop);
    m_ticksValid = true;
    return m_ticks;
}

void StatusStrip::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.drawPixmap(contentsRect().topLeft(), tickLayer());
}

void StatusStrip::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    m_ticksValid = false;
    placeFill();
}

} // namespace tarnbell::gui
