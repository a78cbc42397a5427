// The window as it opens: its controls, their texts and states, the start-up lists and
// choices, the counts and the tick scale, the seed box and the default button, and what it
// remembers from one start to the next.

#include "core/defaultservers.h"
#include "core/recordtypes.h"
#include "core/resultsortproxy.h"
#include "entrylist.h"
#include "guisupport/windowdriver.h"
#include "resultview.h"
#include "statusstrip.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

using namespace tarnbell;
using tarnbell::testing::makeWindow;

class TestGuiWindow final : public QObject {
    Q_OBJECT

private slots:
    void startLists_data();
    void startLists();
    void controlsByName_data();
    void controlsByName();
    void startState();
    void resultColumns();
    void everyControlDescribed();
    void seedBox();
    void tickScaleFollowsCounts();
    void enterStartsRun();
    void rememberedAcrossStarts();
    void rememberedValuesChecked_data();
    void rememberedValuesChecked();
};

void TestGuiWindow::startLists_data() {
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("count");
    QTest::newRow("no local resolver") << QString() << QStringLiteral("20");
    QTest::newRow("local resolver") << QStringLiteral("192.0.2.53") << QStringLiteral("21");
}

void TestGuiWindow::startLists() {
    QFETCH(QString, local);
    QFETCH(QString, count);
    const auto test = makeWindow(local);
    const auto& ui = test->window->controls();

    QCOMPARE(ui.dcount->text(), count);
    QCOMPARE(ui.ncount->text(), QStringLiteral("0"));
    QCOMPARE(ui.lDomains->count(), 0);
    QStringList expected = core::DefaultServers();
    if (!local.isEmpty())
        expected.prepend(local + QStringLiteral(" - local"));
    QCOMPARE(test->window->serverList()->entries(), expected);
}

void TestGuiWindow::controlsByName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");
    const auto row = [](const char* name, const char* text, bool bold = false) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(text) << bold;
    };
    row("cmdGo", "&Benchmark!", true);
    row("cmdPause", "Pause");
    row("cmdSkip", "Skip");
    row("cmdExport", "Export CSV");
    row("cmdConnect", "&Get URLs", true);
    row("cmdRandomD", "R");
    row("cServersD", "-");
    row("cServers", "+");
    row("cmdRandomN", "R");
    row("cDomainD", "-");
    row("cDomain", "+");
    row("reseed", "R");
    row("Label1", "Testing DNS Server:", true);
    row("Label2", "Status", true);
    row("Label3", "DNS Record Type");
    row("Label4", "Search Google for");
    row("Label5", "random domains");
    row("Label6", " Domain Names", true);
    row("Label7", " DNS servers", true);
    row("Label8", "Fastest Server:", true);
    row("Label9", "with the seed:");
    row("lS", "Ready.");
    row("lProgress", "", true);
    row("lDNS", "");
    row("lwhowon", "");
}

void TestGuiWindow::controlsByName() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, bold);
    const auto test = makeWindow();
    auto* widget = test->window->findChild<QWidget*>(name);
    QVERIFY2(widget, qPrintable(name));
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        // The written text, with a mnemonic marked on every button.
        QCOMPARE(QString(button->text()).remove('&'), QString(text).remove('&'));
        QVERIFY2(button->text().contains('&'), qPrintable(button->text()));
    } else if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), text);
    else
        QFAIL("neither a button nor a label");
    QCOMPARE(widget->font().bold(), bold);
}

void TestGuiWindow::startState() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    const auto& ui = window.controls();
    QCOMPARE(window.windowTitle(), QStringLiteral("Tarnbell"));
    QVERIFY(!window.windowIcon().pixmap(64).isNull()); // drawn from the program's resources
    for (const char* name :
         {"Frame1", "Frame2", "Picture1", "Picture2", "dcount", "ncount", "lServers", "lDomains",
          "lvDNS", "lvSummary", "cDNST", "cGResults", "rand", "sProgressOut", "sProgress"})
        QVERIFY2(window.findChild<QWidget*>(QString::fromLatin1(name)), name);
    QVERIFY(!ui.cmdPause->isEnabled());
    QVERIFY(!ui.cmdSkip->isEnabled());

    const auto items = [](const QComboBox* box) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    };
    QCOMPARE(items(ui.cDNST), QStringList({"A 1", "MX 15", "NS 2", "SOA 6"}));
    QCOMPARE(ui.cDNST->currentText(), QStringLiteral("MX 15"));
    QCOMPARE(items(ui.cGResults),
             QStringList({"5", "10", "15", "20", "25", "30", "35", "40", "45", "50"}));
    QCOMPARE(ui.cGResults->currentText(), QStringLiteral("20"));
    QVERIFY(!ui.cDNST->isEditable() && !ui.cGResults->isEditable());
    // Nothing to measure yet: no ticks and the fill's starting width of one pixel.
    QCOMPARE(ui.sProgress->width(), 1);
}

void TestGuiWindow::resultColumns() {
    // Titles fit at the font in use, also a large one.
    const QFont normal = QApplication::font();
    QFont large = normal;
    large.setPointSize(normal.pointSize() * 2);
    QApplication::setFont(large);
    const auto test = makeWindow();
    QApplication::setFont(normal);
    const auto& ui = test->window->controls();
    struct Expect {
        QTreeView* view;
        QStringList titles;
        QList<bool> hidden;
        QList<bool> right;
    };
    const QList<Expect> lists{
        Expect{ui.lvDNS, QStringList{"Domain", "DNS Server", "Response Time", "Real Response Time"},
               QList<bool>{false, false, false, true}, QList<bool>{false, false, true, true}},
        Expect{ui.lvSummary,
               QStringList{"DNS Server", "Mean Response", "Real Mean Response Time",
                           "Median Response", "Real Median Response Time"},
               QList<bool>{false, false, true, false, true},
               QList<bool>{false, true, true, true, true}}};
    for (const Expect& list : lists) {
        QHeaderView* header = list.view->header();
        QCOMPARE(header->count(), list.titles.size());
        QVERIFY(!list.view->rootIsDecorated());
        for (int i = 0; i < list.titles.size(); ++i) {
            const QAbstractItemModel* model = list.view->model();
            QCOMPARE(model->headerData(i, Qt::Horizontal).toString(), list.titles.at(i));
            QCOMPARE(header->sectionSize(i) == 0, list.hidden.at(i));
            const auto alignment =
                Qt::Alignment(model->headerData(i, Qt::Horizontal, Qt::TextAlignmentRole).toInt());
            QCOMPARE(bool(alignment & Qt::AlignRight), list.right.at(i));
        }
        for (int i = 0; i < list.titles.size(); ++i) {
            if (!list.hidden.at(i))
                QVERIFY2(header->sectionSize(i) >= header->sectionSizeHint(i),
                         qPrintable(list.titles.at(i)));
        }
        // The last visible column takes the room a larger window gives.
        test->window->resize(1400, 700);
        test->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(test->window.get()));
        QVERIFY(header->length() >= list.view->viewport()->width());
        const int lastVisible = list.hidden.lastIndexOf(false);
        QCOMPARE(header->sectionResizeMode(lastVisible), QHeaderView::Interactive);
        // A user can pull a key column open again: it is narrow, not removed.
        QVERIFY(!header->isSectionHidden(list.hidden.indexOf(true)));
        QCOMPARE(header->sectionResizeMode(list.hidden.indexOf(true)), QHeaderView::Interactive);
    }
}

// Tooltips and accessible names on every control a user can operate, so that a control
// added later without them is caught.
void TestGuiWindow::everyControlDescribed() {
    const auto test = makeWindow();
    const QList<QWidget*> widgets = test->window->findChildren<QWidget*>();
    int checked = 0;
    for (QWidget* widget : widgets) {
        if (!qobject_cast<QAbstractButton*>(widget) && !qobject_cast<QComboBox*>(widget) &&
            !qobject_cast<QAbstractItemView*>(widget) && !qobject_cast<QLineEdit*>(widget) &&
            !qobject_cast<QAbstractSpinBox*>(widget))
            continue;
        // A spin box's text field, a list's corner button, a tab bar's scroll arrows.
        const QWidget* owner = widget->parentWidget();
        if (qobject_cast<const QAbstractSpinBox*>(owner) ||
            qobject_cast<const QAbstractItemView*>(owner) || qobject_cast<const QTabBar*>(owner))
            continue;
        // A combo box's own drop-down list, a result list's titles.
        if (widget->window() != test->window.get() || qobject_cast<QHeaderView*>(widget))
            continue;
        ++checked;
        QVERIFY2(!widget->accessibleName().isEmpty(), widget->metaObject()->className());
        QVERIFY2(!widget->toolTip().isEmpty(), widget->metaObject()->className());
    }
    QVERIFY(checked >= 20);
    // The "+" box says what it accepts while its field is empty.
    QTest::mouseClick(test->window->controls().cServers, Qt::LeftButton);
    auto* input = testing::waitForModal<QInputDialog>();
    QVERIFY(input);
    QVERIFY(!input->findChild<QLineEdit*>()->placeholderText().isEmpty());
    QVERIFY(!testing::answerInput(QString(), true).isNull());
}

void TestGuiWindow::seedBox() {
    const auto test = makeWindow();
    const auto& ui = test->window->controls();
    static const QRegularExpression threeCapitals(QStringLiteral("^[A-Z]{3}$"));
    QVERIFY2(threeCapitals.match(ui.rand->text()).hasMatch(), qPrintable(ui.rand->text()));

    // Every click replaces the box's text, also one the user typed.
    ui.rand->setText(QStringLiteral("typed word"));
    QSet<QString> seen;
    for (int i = 0; i < 5; ++i) {
        QTest::mouseClick(ui.reseed, Qt::LeftButton);
        QVERIFY2(threeCapitals.match(ui.rand->text()).hasMatch(), qPrintable(ui.rand->text()));
        seen.insert(ui.rand->text());
    }
    QVERIFY(seen.size() > 1); // 5 draws of 17,576 words: a repeat of one word is no draw
}

void TestGuiWindow::tickScaleFollowsCounts() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    window.resize(800, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* strip = window.controls().sProgressOut;
    const auto tickColumns = [strip] {
        const QImage image = strip->tickLayer().toImage();
        int columns = 0;
        const int y = image.height() - 1;
        for (int x = 0; x < image.width(); ++x)
            columns += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        return columns;
    };
    QCOMPARE(tickColumns(), 0); // no domains: no ticks

    window.domainList()->append(QStringLiteral("example.com"));
    window.DoCount();
    QCOMPARE(window.controls().ncount->text(), QStringLiteral("1"));
    const int oneDomain = tickColumns();
    QVERIFY(oneDomain >= 20); // one long tick per server at least

    window.domainList()->append(QStringLiteral("example.org"));
    window.DoCount();
    QVERIFY(tickColumns() > oneDomain); // a short tick between each server's two lookups
}

void TestGuiWindow::enterStartsRun() {
    const auto test = makeWindow();
    frmMain& window = *test->window;
    window.domainList()->append(QStringLiteral("example.com"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.controls().cmdGo->isDefault());

    // From the domain list, Enter goes to the default button and starts a run.
    window.controls().lDomains->setFocus();
    QTest::keyClick(window.controls().lDomains, Qt::Key_Return);
    QVERIFY(window.isRunning());
    QVERIFY(!window.controls().cmdGo->isEnabled());
    QVERIFY(!testing::acceptMessage().isEmpty());
    QTRY_VERIFY(!window.isRunning());
}

void TestGuiWindow::rememberedAcrossStarts() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tarnbell.conf"));
    const QString local = QStringLiteral("192.0.2.53");
    {
        const auto first = makeWindow(local, 100, {}, testing::nowhere(), file);
        frmMain& window = *first->window;
        const auto& ui = window.controls();
        // The first start ever shows the defaults.
        QCOMPARE(window.serverList()->entries(), core::InitialServers(local));
        QCOMPARE(ui.cDNST->currentIndex(), core::kDefaultRecordTypeIndex);

        testing::setLists(window, {"127.0.0.9 - mine", local + " - local"}, {"example.com"});
        ui.cDNST->setCurrentIndex(3);
        ui.cGResults->setCurrentIndex(9);
        window.resize(760, 540);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        ui.lvDNS->header()->resizeSection(0, 321);
        window.lvSummary_ColumnClick(0);
        QVERIFY(window.close());
        QCOMPARE(first->quitCalls, 1);
    }
    // The next start is on another network: the local entry follows the machine's resolver.
    const auto second = makeWindow(QStringLiteral("192.0.2.99"), 100, {}, testing::nowhere(), file);
    frmMain& window = *second->window;
    const auto& ui = window.controls();
    QCOMPARE(window.serverList()->entries(),
             QStringList({"127.0.0.9 - mine", "192.0.2.99 - local"}));
    QCOMPARE(window.domainList()->entries(), QStringList{"example.com"});
    QCOMPARE(ui.dcount->text(), QStringLiteral("2"));
    QCOMPARE(ui.cDNST->currentIndex(), 3);
    QCOMPARE(ui.cGResults->currentIndex(), 9);
    QCOMPARE(window.size(), QSize(760, 540));
    QCOMPARE(ui.lvDNS->header()->sectionSize(0), 321);
    QCOMPARE(window.summarySort()->sortColumn(), 0);
    QCOMPARE(window.summarySort()->currentOrder(), Qt::DescendingOrder);

    window.restoreDefaultLists();
    QCOMPARE(window.serverList()->entries(), core::InitialServers(QStringLiteral("192.0.2.99")));
    QCOMPARE(window.domainList()->count(), 0);
    QCOMPARE(ui.ncount->text(), QStringLiteral("0"));
}

void TestGuiWindow::rememberedValuesChecked_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QStringList>("servers"); // with the local resolver 192.0.2.53
    QTest::addColumn<QStringList>("domains");
    QTest::addColumn<QString>("recordType");
    const QStringList defaults = core::InitialServers(QStringLiteral("192.0.2.53"));
    QStringList many;
    for (int i = 0; i < 120; ++i)
        many << QStringLiteral("host%1.example").arg(i);
    QTest::newRow("unknown record type")
        << "run/recordType" << QVariant("AAAA 28") << defaults << QStringList() << "MX 15";
    QTest::newRow("more than 99 domains")
        << "lists/domains" << QVariant(many) << defaults << many.mid(0, 99) << "MX 15";
    QTest::newRow("domain no query can carry")
        << "lists/domains" << QVariant(QStringList{QString(300, 'x') + ".com", "ok.example"})
        << defaults << QStringList{"ok.example"} << "MX 15";
    QTest::newRow("server list emptied")
        << "lists/servers" << QVariant(QStringList()) << QStringList() << QStringList() << "MX 15";
    QTest::newRow("local entry of another machine, twice")
        << "lists/servers"
        << QVariant(QStringList{"10.0.0.1 - local", "127.0.0.9", "10.0.0.1 - local"})
        << QStringList{"192.0.2.53 - local", "127.0.0.9"} << QStringList() << "MX 15";
}

void TestGuiWindow::rememberedValuesChecked() {
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QStringList, servers);
    QFETCH(QStringList, domains);
    QFETCH(QString, recordType);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tarnbell.conf"));
    QSettings(file, QSettings::IniFormat).setValue(key, stored);

    const auto test = makeWindow(QStringLiteral("192.0.2.53"), 100, {}, testing::nowhere(), file);
    QCOMPARE(test->window->serverList()->entries(), servers);
    QCOMPARE(test->window->domainList()->entries(), domains);
    QCOMPARE(test->window->controls().cDNST->currentText(), recordType);
}

QTEST_MAIN(TestGuiWindow)
#include "tst_gui_window.moc"
