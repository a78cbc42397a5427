#include "menubar.h"

#include "core/run/benchmarkengine.h"
#include "dialogs.h"
#include "frmMain.h"
#include "listactions.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

namespace tarnbell::gui {

namespace {

// Keeps a menu entry enabled exactly when its button is.
class EnabledLikeButton final : public QObject {
public:
    EnabledLikeButton(QAction* action, QPushButton* button)
        : QObject(action), m_action(action), m_button(button) {
        m_button->installEventFilter(this);
        m_action->setEnabled(m_button->isEnabled());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_button && event->type() == QEvent::EnabledChange)
            m_action->setEnabled(m_button->isEnabled());
        return QObject::eventFilter(watched, event);
    }

private:
    QAction* m_action;
    QPushButton* m_button;
};

QAction* standFor(QMenu* menu, const QString& text, QPushButton* button) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QStringLiteral("menu_") + button->objectName());
    new EnabledLikeButton(action, button);
    QObject::connect(action, &QAction::triggered, button, [button] {
        if (button->isEnabled())
            button->click();
    });
    return action;
}

void showAbout(QWidget* window) {
    QMessageBox* box = ShowMessage(
        window,
        QStringLiteral("Tarnbell %1\n\nTells which DNS resolver answers fastest, over UDP, TCP, "
                       "DNS over TLS and DNS over HTTPS.\n\ntarnbell-cli runs the same benchmark "
                       "without a window; see its --help and the manual pages tarnbell(1) and "
                       "tarnbell-cli(1).")
            .arg(QStringLiteral(TARNBELL_VERSION)));
    box->setWindowTitle(QStringLiteral("About Tarnbell"));
}

} // namespace

void BuildMenuBar(frmMain& window, const ListActions& servers, const ListActions& domains,
                  QAction* undo) {
    const WindowControls& ui = window.controls();
    QMenuBar* bar = window.menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    standFor(file, QStringLiteral("&Export CSV..."), ui.cmdExport);
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("&Quit"));
    quit->setShortcut(QKeySequence::Quit);
    QObject::connect(quit, &QAction::triggered, &window, &QWidget::close);

    QMenu* lists = bar->addMenu(QStringLiteral("L&ists"));
    servers.addFileActions(lists->addMenu(QStringLiteral("&DNS servers")));
    domains.addFileActions(lists->addMenu(QStringLiteral("Domain &names")));
    lists->addSeparator();
    lists->addAction(undo);

    QMenu* run = bar->addMenu(QStringLiteral("R&un"));
    standFor(run, QStringLiteral("&Benchmark!"), ui.cmdGo);
    // Ticked while paused, or while the pause waits for the lookup under way.
    QAction* pause = standFor(run, QStringLiteral("&Pause"), ui.cmdPause);
    pause->setCheckable(true);
    QObject::connect(
        window.engine(), &core::BenchmarkEngine::pauseStateChanged, pause,
        [pause](core::PauseState state) { pause->setChecked(state != core::PauseState::Running); });
    QObject::connect(&window, &frmMain::runUnlocked, pause, [pause] { pause->setChecked(false); });
    standFor(run, QStringLiteral("&Skip"), ui.cmdSkip);
    // Escape shown, not bound: the window's own Escape stops a run wherever the focus is.
    standFor(run, QStringLiteral("S&top\tEsc"), ui.cmdStop);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    QAction* about = help->addAction(QStringLiteral("&About Tarnbell"));
    QObject::connect(about, &QAction::triggered, &window, [&window] { showAbout(&window); });
}

} // namespace tarnbell::gui
