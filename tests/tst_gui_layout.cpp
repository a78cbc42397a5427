// The window at 800 x 600, run by CTest once as it is and once at twice the scale: no title
// and no text of the result lists' columns is cut short, a long DNS-over-HTTPS entry and the
// sort arrow included, and the lookup list keeps five rows beside the details tab. Where the
// user moved the splitter beside the lists is where the next start puts it.

#include "core/lists/defaultservers.h"
#include "core/results/resultmodels.h"
#include "guisupport/windowdriver.h"
#include "resultview.h"

#include <QHeaderView>
#include <QSplitter>
#include <QTabWidget>
#include <QtTest>

using namespace tarnbell;

namespace {

// The longest text `view` shows within `width` pixels, as an item view draws it.
bool fits(const QWidget* view, const QString& text, int width) {
    const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view);
    return view->fontMetrics().horizontalAdvance(text) + 2 * (margin + 1) <= width;
}

// What of a result list is cut: a title or a cell narrower than its text, a column past the
// list's right edge.
QStringList cut(const QTreeView* view) {
    QStringList found;
    const QHeaderView* head = view->header();
    const int margin = head->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, head);
    for (int s = 0; s < head->count(); ++s) {
        if (head->isSectionHidden(s) || head->sectionSize(s) == 0)
            continue;
        const QString title = view->model()->headerData(s, Qt::Horizontal).toString();
        const int arrow = head->sortIndicatorSection() == s ? head->height() / 2 + 2 * margin : 0;
        if (head->fontMetrics().horizontalAdvance(title) + 2 * margin + arrow >
                head->sectionSize(s) ||
            head->sectionViewportPosition(s) + head->sectionSize(s) > view->viewport()->width())
            found << view->objectName() + QStringLiteral(": title ") + title;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QString text = view->model()->index(row, s).data().toString();
            if (!fits(view, text, head->sectionSize(s)))
                found << view->objectName() + QStringLiteral(": ") + text;
        }
    }
    return found;
}

} // namespace

class TestGuiLayout final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nothingCut();
    void splitRemembered();
};

void TestGuiLayout::nothingCut() {
    const auto test = testing::makeWindow(QStringLiteral("192.0.2.53"));
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    const QStringList servers = core::InitialServers(QStringLiteral("192.0.2.53"))
                                << QStringLiteral("https://9.9.9.9#dns.quad9.net/dns-query");
    testing::setLists(window, servers, core::DefaultDomains());
    for (const QString& server : servers) {
        for (const QString& domain : core::DefaultDomains())
            window.lookupModel()->setResult(window.lookupModel()->appendLookup(server, domain),
                                            10.0); // "10000 ms"
        window.summaryModel()->appendSummary({server, 10000.0, 10000.0, 10000.0, false, {}});
    }
    window.flushDisplay();
    window.lvSummary_ColumnClick(core::SummaryTableModel::MeanResponse); // with its arrow
    ui.resultTabs->setCurrentIndex(1);
    window.resize(800, 600);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(cut(ui.lvDNS), QStringList());
    QVERIFY(ui.lvDNS->viewport()->height() >= 5 * ui.lvDNS->sizeHintForRow(0));
    ui.resultTabs->setCurrentIndex(0);
    QTRY_COMPARE(cut(ui.lvSummary), QStringList());
}

void TestGuiLayout::splitRemembered() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tarnbell.conf"));
    QList<int> moved;
    for (int start = 0; start < 2; ++start) {
        const auto test = testing::makeWindow({}, 100, {}, testing::nowhere(), file);
        QSplitter* split = test->window->controls().splitColumns;
        test->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(test->window.get()));
        if (start == 1) {
            QCOMPARE(split->sizes(), moved);
            break;
        }
        split->setSizes({split->sizes().at(0) + 40, split->sizes().at(1) - 40});
        moved = split->sizes();
        QVERIFY(test->window->close());
    }
}

QTEST_MAIN(TestGuiLayout)
#include "tst_gui_layout.moc"
