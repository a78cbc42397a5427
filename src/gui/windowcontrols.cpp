#include "windowcontrols.h"

#include "controlhelp.h"
#include "panelscroll.h"
#include "resultview.h"
#include "startsplit.h"
#include "statuslabel.h"
#include "statusstrip.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tarnbell::gui {

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* label(const QString& text, const char* name, bool bold = false) {
    auto* created = named(new QLabel(text), name);
    if (bold) {
        QFont font = created->font();
        font.setBold(true);
        created->setFont(font);
    }
    return created;
}

QPushButton* button(const QString& text, const char* name, bool bold = false) {
    auto* created = named(new QPushButton(text), name);
    created->setAutoDefault(false); // Enter goes to the default button (see frmMain)
    if (bold) {
        QFont font = created->font();
        font.setBold(true);
        created->setFont(font);
    }
    return created;
}

// A label that wraps only where its column is too narrow for its text on one line, which
// is what it asks for (with a character to spare: its wrapping measures a little wider).
class WrapWhenNarrow final : public QLabel {
public:
    using QLabel::QLabel;
    QSize sizeHint() const override {
        const QMargins margins = contentsMargins();
        const QFontMetrics metrics = fontMetrics();
        const int line = metrics.horizontalAdvance(text()) + metrics.averageCharWidth() +
                         margins.left() + margins.right() + 2 * margin();
        return {std::max(line, QLabel::sizeHint().width()), QLabel::sizeHint().height()};
    }
};

// The small "R", "-" and "+" buttons beside a list heading: square, a line high.
QPushButton* smallButton(const QString& text, const char* name) {
    QPushButton* created = button(text, name);
    const int side = created->fontMetrics().height() + 8;
    created->setFixedSize(side, side);
    return created;
}

// A sunken box holding a list's count, sized for two digits.
QFrame* countBox(const char* boxName, QLabel*& count, const char* countName) {
    auto* box = named(new QFrame, boxName);
    box->setFrameShape(QFrame::StyledPanel);
    box->setFrameShadow(QFrame::Sunken);
    count = named(new QLabel(QStringLiteral("999")), countName);
    count->setAlignment(Qt::AlignCenter);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(count);
    const QFontMetrics metrics(count->font());
    box->setFixedSize(metrics.horizontalAdvance(QStringLiteral("999")) + 6, metrics.height() + 6);
    return box;
}

// The height of `lines` lines of a list at its font, with its frame (a header is a line).
int linesHigh(const QWidget* list, int lines) {
    return (list->fontMetrics().height() + 4) * lines + 4;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets, int stretchBefore = -1) {
    auto* layout = new QHBoxLayout;
    int i = 0;
    for (QWidget* widget : widgets) {
        if (i++ == stretchBefore)
            layout->addStretch(1);
        layout->addWidget(widget);
    }
    if (stretchBefore >= static_cast<int>(widgets.size()))
        layout->addStretch(1);
    return layout;
}

void buildLeftColumn(WindowControls& c, QFrame* frame) {
    c.Label3 = label(QStringLiteral("DNS Record Type"), "Label3");
    c.cDNST = named(new QComboBox, "cDNST"); // a drop-down list: no typing
    c.LabelRounds = label(QStringLiteral("Rounds"), "LabelRounds");
    c.rounds = named(new QSpinBox, "rounds");
    c.rounds->setRange(1, 20);
    c.rounds->setToolTip(QStringLiteral(
        "How often every server is asked the domain list, each round starting one server "
        "further down. The details tell each name's first ask from its repeats."));
    static constexpr std::array<std::pair<const char*, const char*>, core::kQueryKindCount> kKinds{
        {{"chkListed", "The listed names as they are"},
         {"chkCached", "Each name asked once untimed, then timed: the resolver's own "
                       "time on a cache hit"},
         {"chkUncached", "A new random name under each listed one, which no cache "
                         "holds: the resolver must ask the name's servers"},
         {"chkTopLevel", "A new random name under each listed name's top-level domain: "
                         "the resolver must ask that domain's servers"}}};
    for (int k = 0; k < core::kQueryKindCount; ++k) {
        const auto kind = static_cast<core::QueryKind>(k);
        QString words = core::queryKindWords(kind);
        words[0] = words[0].toUpper();
        c.kinds[static_cast<std::size_t>(k)] =
            named(new QCheckBox(words), kKinds[static_cast<std::size_t>(k)].first);
        c.kinds[static_cast<std::size_t>(k)]->setToolTip(
            QString::fromLatin1(kKinds[static_cast<std::size_t>(k)].second));
    }
    c.kinds[0]->setChecked(true);
    c.chkFreshConnections = named(
        new QCheckBox(QStringLiteral("Fresh co&nnection for every lookup")), "chkFreshConnections");
    c.cmdCaFile = button(QStringLiteral("Trusted C&A file…"), "cmdCaFile");
    c.lblCaFile = label(QString(), "lblCaFile");
    // A long name is cut at the column's edge rather than widening it; the tip shows it all.
    c.lblCaFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    c.cmdClearCaFile = smallButton(QStringLiteral("-"), "cmdClearCaFile");
    c.cmdGo = button(QStringLiteral("&Benchmark!"), "cmdGo", true);
    c.cmdPause = button(QStringLiteral("&Pause"), "cmdPause");
    c.cmdPause->setEnabled(false);
    c.cmdStop = button(QStringLiteral("S&top"), "cmdStop");
    c.cmdStop->setEnabled(false);
    c.Frame2 = named(new QFrame, "Frame2");
    c.Frame2->setFrameShape(QFrame::HLine);
    c.Frame2->setFrameShadow(QFrame::Sunken);

    c.Picture2 = countBox("Picture2", c.dcount, "dcount");
    c.Label7 = label(QStringLiteral(" DNS servers"), "Label7", true);
    c.cmdRandomD = smallButton(QStringLiteral("&R"), "cmdRandomD");
    c.cServersD = smallButton(QStringLiteral("&-"), "cServersD");
    c.cServers = smallButton(QStringLiteral("&+"), "cServers");
    c.lServers = named(new QListWidget, "lServers");
    c.lServers->setMinimumHeight(linesHigh(c.lServers, 4));

    c.Picture1 = countBox("Picture1", c.ncount, "ncount");
    c.Label6 = label(QStringLiteral(" Domain Names"), "Label6", true);
    c.cmdRandomN = smallButton(QStringLiteral("&R"), "cmdRandomN");
    c.cDomainD = smallButton(QStringLiteral("&-"), "cDomainD");
    c.cDomain = smallButton(QStringLiteral("&+"), "cDomain");
    c.lDomains = named(new QListWidget, "lDomains");
    c.lDomains->setMinimumHeight(linesHigh(c.lDomains, 4));

    c.Label4 = named(new WrapWhenNarrow, "Label4"); // names the search service: HarvestControl
    c.cGResults = named(new QComboBox, "cGResults");
    for (QComboBox* choice : {c.cDNST, c.cGResults}) {
        choice->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        choice->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    c.cmdConnect = button(QStringLiteral("&Get URLs"), "cmdConnect", true);
    c.cmdConnect->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    c.Label5 = label(QStringLiteral("random domains"), "Label5");
    c.Label9 = label(QStringLiteral("with the seed:"), "Label9");
    c.rand = named(new QLineEdit, "rand");
    c.rand->setFixedWidth(c.rand->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 12);
    c.reseed = button(QStringLiteral("&R"), "reseed");
    c.reseed->setFixedWidth(c.reseed->fontMetrics().height() + 8);

    // Choices in a grid of two columns rather than in one long row each: the column stays
    // narrow, so the result lists have the room for long server entries.
    auto* recordType = new QGridLayout;
    recordType->addWidget(c.Label3, 0, 0);
    recordType->addWidget(c.cDNST, 0, 1);
    recordType->addWidget(c.LabelRounds, 1, 0);
    recordType->addWidget(c.rounds, 1, 1);
    recordType->setColumnStretch(2, 1);
    auto* kinds = new QGridLayout;
    for (int k = 0; k < core::kQueryKindCount; ++k)
        kinds->addWidget(c.kinds[static_cast<std::size_t>(k)], k / 2, k % 2);
    kinds->setColumnStretch(2, 1);
    auto* caFile = row({c.cmdCaFile, c.lblCaFile, c.cmdClearCaFile});
    caFile->setStretchFactor(c.lblCaFile, 1);
    auto* runButtons = row({c.cmdPause, c.cmdStop, c.cmdGo}, 1);
    runButtons->setAlignment(c.cmdPause, Qt::AlignBottom);
    runButtons->setAlignment(c.cmdStop, Qt::AlignBottom);
    auto* serverHeading = row({c.Picture2, c.Label7, c.cmdRandomD, c.cServersD, c.cServers}, 2);
    auto* domainHeading = row({c.Picture1, c.Label6, c.cmdRandomN, c.cDomainD, c.cDomain}, 2);
    serverHeading->setSpacing(2);
    domainHeading->setSpacing(2);

    c.Label4->setWordWrap(true); // two lines in a narrow column
    auto* harvest = new QGridLayout;
    harvest->addWidget(c.Label4, 0, 0);
    harvest->addWidget(c.cGResults, 0, 1);
    harvest->addWidget(c.Label5, 1, 0, 1, 2);
    harvest->addWidget(c.Label9, 2, 0);
    auto* seed = new QHBoxLayout;
    seed->setSpacing(2);
    seed->addWidget(c.rand);
    seed->addWidget(c.reseed);
    harvest->addLayout(seed, 2, 1);
    harvest->addWidget(c.cmdConnect, 0, 2, 3, 1);
    harvest->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(frame);
    layout->addLayout(recordType);
    layout->addLayout(kinds);
    layout->addWidget(c.chkFreshConnections);
    layout->addLayout(caFile);
    layout->addLayout(runButtons);
    layout->addWidget(c.Frame2);
    layout->addLayout(serverHeading);
    layout->addWidget(c.lServers, 1);
    layout->addLayout(domainHeading);
    layout->addWidget(c.lDomains, 1);
    layout->addLayout(harvest);
}

// A widget holding `layout` without margins of its own: a part of a splitter.
QWidget* part(QLayout* layout) {
    auto* widget = new QWidget;
    layout->setContentsMargins(0, 0, 0, 0);
    widget->setLayout(layout);
    return widget;
}

QWidget* buildResultColumn(WindowControls& c) {
    c.Label1 = label(QStringLiteral("Testing DNS Server:"), "Label1", true);
    c.lDNS = named(new StatusLabel(QString()), "lDNS");
    c.lDNS->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    c.lvDNS = named(new ResultView, "lvDNS");
    c.lvDNS->setMinimumHeight(linesHigh(c.lvDNS, 4)); // the titles and three rows
    c.Label8 = label(QStringLiteral("Fastest Server:"), "Label8", true);
    c.lwhowon = named(new StatusLabel(QString()), "lwhowon");
    c.lwhowon->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    c.cmdSkip = button(QStringLiteral("&Skip"), "cmdSkip");
    c.cmdSkip->setEnabled(false);
    c.lvSummary = named(new ResultView, "lvSummary");
    c.resultTabs = named(new QTabWidget, "resultTabs");
    c.resultTabs->addTab(c.lvSummary, QStringLiteral("Summary"));
    c.cmdExport = button(QStringLiteral("&Export CSV"), "cmdExport");
    c.cmdClear = button(QStringLiteral("C&lear results"), "cmdClear");

    auto* testing = new QHBoxLayout;
    testing->addWidget(c.Label1);
    testing->addWidget(c.lDNS, 1);
    auto* lookups = new QVBoxLayout;
    lookups->addLayout(testing);
    lookups->addWidget(c.lvDNS, 1);
    auto* fastest = new QHBoxLayout;
    fastest->addWidget(c.Label8);
    fastest->addWidget(c.lwhowon, 1);
    fastest->addWidget(c.cmdSkip);
    auto* summary = new QVBoxLayout;
    summary->addLayout(fastest);
    summary->addWidget(c.resultTabs, 1);

    c.splitResults = named(new QSplitter(Qt::Vertical), "splitResults");
    c.splitResults->setChildrenCollapsible(false);
    c.splitResults->addWidget(part(lookups));
    c.splitResults->addWidget(part(summary));
    c.splitResults->setStretchFactor(0, 18);
    c.splitResults->setStretchFactor(1, 29);
    c.splitResults->setSizes({1815, 2895}); // in proportion until the splitter first lays out

    auto* column = new QVBoxLayout;
    column->addWidget(c.splitResults, 1);
    column->addLayout(row({c.cmdClear, c.cmdExport}, 0));
    return part(column);
}

} // namespace

WindowControls BuildWindowControls(QWidget* central) {
    WindowControls c;
    c.Frame1 = named(new QFrame, "Frame1");
    c.Frame1->setFrameShape(QFrame::StyledPanel);
    c.Frame1->setFrameShadow(QFrame::Sunken);
    buildLeftColumn(c, c.Frame1);
    auto* controls = named(new PanelScroll(c.Frame1), "scrollControls");

    c.splitColumns = named(new QSplitter(Qt::Horizontal), "splitColumns");
    c.splitColumns->setChildrenCollapsible(false);
    c.splitColumns->addWidget(controls);
    c.splitColumns->addWidget(buildResultColumn(c));
    // A wider window widens the result lists.
    c.splitColumns->setStretchFactor(0, 0);
    c.splitColumns->setStretchFactor(1, 1);
    c.startSplit = new StartSplit(c.splitColumns, {c.lServers, c.lDomains});

    c.sProgressOut = new StatusStrip;
    c.Label2 = c.sProgressOut->Label2();
    c.lS = c.sProgressOut->lS();
    c.lProgress = c.sProgressOut->lProgress();
    c.sProgress = c.sProgressOut->sProgress();

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(c.splitColumns, 1);
    layout->addWidget(c.sProgressOut);
    DescribeControls(c);
    return c;
}

} // namespace tarnbell::gui
