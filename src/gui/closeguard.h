#pragma once
// Asks before the window closes while a run is under way or while results are shown that
// were never exported: closing throws them away.

#include <QObject>
#include <QPointer>
#include <functional>

class QAbstractItemModel;
class QMessageBox;
class QWidget;

namespace tarnbell::gui {

class CloseGuard final : public QObject {
    Q_OBJECT
public:
    // `lookups` is the lookup list: a row added to it is a result not yet exported; an
    // emptied list has nothing to lose.
    CloseGuard(QWidget* window, QAbstractItemModel* lookups);

    // Counts every change to the lookup list; an export records it when it takes its text.
    quint64 changeCount() const { return m_changes; }
    // The results as they were at `asOf` have been written to a file: nothing is lost on
    // closing unless the list has changed since (a run still adding rows).
    void markExported(quint64 asOf) { m_exportedAt = asOf; }
    bool hasUnexported() const { return m_changes != m_exportedAt; }

    // True when the window may close at once. Otherwise the question is open (or already
    // was) and `confirmed` runs when the user answers "Close".
    bool mayClose(bool running, std::function<void()> confirmed);

private:
    QWidget* m_window;
    QPointer<QMessageBox> m_question;
    quint64 m_changes = 0;
    quint64 m_exportedAt = 0;
};

} // namespace tarnbell::gui
