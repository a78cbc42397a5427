#pragma once
// The column of lists and choices on the window's left: it scrolls up and down when the
// window is too short for its controls at their smallest (a large font, a small screen,
// twice the scale), and is never narrower than its controls.

#include <QScrollArea>

namespace tarnbell::gui {

class PanelScroll final : public QScrollArea {
    Q_OBJECT
public:
    explicit PanelScroll(QWidget* panel, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The panel's least height at `width`: its lines of text wrap on a narrow panel.
    int leastHeight(int width) const;
    // Whether the panel scrolls at its least width: then its scroll bar takes room beside it.
    bool scrollsWhenNarrowest() const;
    // The panel as wide as the area, less the scroll bar when it scrolls, and as tall as the
    // area or as its controls need.
    void fitPanel();

    bool m_scrolls = false; // scrollsWhenNarrowest() at the last size
};

} // namespace tarnbell::gui
