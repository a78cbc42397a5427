#include "panelscroll.h"

#include <QEvent>
#include <QLayout>
#include <QScrollBar>
#include <algorithm>

namespace tarnbell::gui {

PanelScroll::PanelScroll(QWidget* panel, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Sized here, not by QScrollArea: it would keep the panel at its preferred height for
    // the width, lists included, and scroll long before the lists reach their least height.
    setWidgetResizable(false);
    setWidget(panel);
    panel->installEventFilter(this);
}

int PanelScroll::leastHeight(int width) const {
    const QLayout* layout = widget()->layout();
    return layout && layout->hasHeightForWidth() ? layout->totalMinimumHeightForWidth(width)
                                                 : widget()->minimumSizeHint().height();
}

bool PanelScroll::scrollsWhenNarrowest() const {
    return leastHeight(widget()->minimumSizeHint().width()) > height() - 2 * frameWidth();
}

QSize PanelScroll::sizeHint() const {
    // Tall enough that nothing scrolls, the lists at their least, however narrow the column;
    // a line to spare, as a wrapped label knows its height only once laid out.
    const int high = leastHeight(widget()->minimumSizeHint().width()) + fontMetrics().height();
    return QSize(widget()->sizeHint().width(), high) + QSize(2 * frameWidth(), 2 * frameWidth());
}

QSize PanelScroll::minimumSizeHint() const {
    const int bar = scrollsWhenNarrowest() ? verticalScrollBar()->sizeHint().width() : 0;
    return {widget()->minimumSizeHint().width() + 2 * frameWidth() + bar,
            QScrollArea::minimumSizeHint().height()};
}

void PanelScroll::fitPanel() {
    const int high = height() - 2 * frameWidth();
    int wide = width() - 2 * frameWidth();
    if (leastHeight(wide) > high)
        wide -= verticalScrollBar()->sizeHint().width();
    wide = std::max(wide, widget()->minimumSizeHint().width());
    widget()->resize(wide, std::max(high, leastHeight(wide)));
}

void PanelScroll::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    fitPanel();
    // The scroll bar comes or goes: the column needs its width, or gives it back.
    if (scrollsWhenNarrowest() != m_scrolls) {
        m_scrolls = !m_scrolls;
        updateGeometry();
    }
}

bool PanelScroll::eventFilter(QObject* watched, QEvent* event) {
    // A control changed its size (a longer search host, say): the panel is fitted again.
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        fitPanel();
    return QScrollArea::eventFilter(watched, event);
}

} // namespace tarnbell::gui
