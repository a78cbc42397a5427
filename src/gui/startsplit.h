#pragma once
// Where the splitter between the window's left column and its result lists stands when the
// window first shows: the result lists as wide as their names and times ask, the column as
// wide as its controls and its longest entry ask where the window leaves room for both, and
// never narrower than its controls. A position remembered from the last start wins.

#include <QList>
#include <QObject>

class QAbstractItemView;
class QSplitter;

namespace tarnbell::gui {

class StartSplit final : public QObject {
    Q_OBJECT
public:
    // `lists` are in the splitter's first widget.
    StartSplit(QSplitter* splitter, QList<QAbstractItemView*> lists);

    // Puts the splitter where `state` (QSplitter::saveState) had it; nothing moves it at the
    // first show then.
    void restore(const QByteArray& state);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();

    QSplitter* m_splitter;
    QList<QAbstractItemView*> m_lists;
    bool m_placed = false;
};

} // namespace tarnbell::gui
