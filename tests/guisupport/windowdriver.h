#pragma once
// Helpers for driving the main window in tests and benchmarks: the window built around a
// scripted probe, and the modal boxes found and answered without blocking.

#include "entrylist.h"
#include "fixtures/scriptedprobe.h"
#include "frmMain.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>

namespace tarnbell::testing {

struct TestWindow {
    ScriptedProbe* probe = nullptr; // null when the window got another probe
    std::unique_ptr<frmMain> window;
    int quitCalls = 0;
};

// Where a test window's "Get URLs" connects unless a test says otherwise: loopback port 0,
// which refuses, so no test ever reaches the real search host.
inline gui::HarvestTarget nowhere() {
    return {{QStringLiteral("127.0.0.1"), QStringLiteral("/search"), 0, {}},
            std::chrono::milliseconds(2000)};
}

// A window around `probe` (a scripted one answering 47.1 ms when null), with
// `localResolver` as the machine's own resolver, `readyResetInterval` ms per tick of the
// "Ready." countdown and `harvest` as its search host. It remembers its settings in
// `settingsFile` only; without one it remembers nothing, so no test reads or writes the
// user's settings. `adjust` may change any other seam before the window is built.
inline std::unique_ptr<TestWindow>
makeWindow(const QString& localResolver = QString(), int readyResetInterval = 100,
           std::unique_ptr<core::LookupProbe> probe = {}, gui::HarvestTarget harvest = nowhere(),
           const QString& settingsFile = QString(),
           const std::function<void(gui::WindowSeams&)>& adjust = {}) {
    auto test = std::make_unique<TestWindow>();
    if (!probe) {
        auto scripted = std::make_unique<ScriptedProbe>();
        scripted->setDefaultReply(ScriptedProbe::Reply::answered(0.0471));
        test->probe = scripted.get();
        probe = std::move(scripted);
    }
    gui::WindowSeams seams;
    seams.probe = std::move(probe);
    seams.localResolver = [localResolver] { return localResolver; };
    seams.readyResetInterval = readyResetInterval;
    seams.dotInterval = 5;
    seams.quit = [raw = test.get()] { ++raw->quitCalls; };
    seams.harvest = std::move(harvest);
    if (!settingsFile.isEmpty())
        seams.settings = [settingsFile] {
            return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
        };
    if (adjust)
        adjust(seams);
    test->window = std::make_unique<frmMain>(std::move(seams));
    return test;
}

// Replaces both input lists and redraws the counts.
inline void setLists(frmMain& window, const QStringList& servers, const QStringList& domains) {
    window.serverList()->replaceAll(servers);
    window.domainList()->replaceAll(domains);
    window.DoCount();
}

// The modal dialog of type T open now, waiting up to `timeoutMs` for it; nullptr if none.
template <typename T> T* waitForModal(int timeoutMs = 5000) {
    T* dialog = nullptr;
    const auto open = [&] {
        return (dialog = qobject_cast<T*>(QApplication::activeModalWidget()));
    };
    return QTest::qWaitFor(open, timeoutMs) ? dialog : nullptr;
}

// Presses OK on the message box open now; returns its text, or a null text if none opened.
inline QString acceptMessage(int timeoutMs = 5000) {
    QMessageBox* box = waitForModal<QMessageBox>(timeoutMs);
    if (!box)
        return {};
    const QString text = box->text();
    box->button(QMessageBox::Ok)->click();
    QTest::qWait(0);
    return text;
}

// Answers the question open now with its confirming button (`confirm`) or Cancel; returns its
// text, or a null text if none opened.
inline QString answerQuestion(bool confirm, int timeoutMs = 5000) {
    QMessageBox* box = waitForModal<QMessageBox>(timeoutMs);
    if (!box)
        return {};
    const QString text = box->text();
    const auto role = confirm ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == role)
            button->click();
    }
    QTest::qWait(0);
    return text;
}

} // namespace tarnbell::testing
