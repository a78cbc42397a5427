#pragma once
// The two result lists as Qt item models: one row per lookup, one row per server and run.
// Rows are only appended while a run goes, and the lists are emptied only between runs;
// each row knows the run (counted from the last emptying) and the round it belongs to;
// ordering is the sort proxy's business, so a source row number stays valid during a run.
// Times are kept as numbers and only formatted for display ("47 ms", the hidden 8-character
// keys); sorting reads the numbers (SortRole), so no figure is ever read back from text.

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

namespace tarnbell::core {

// How a row or cell is to be drawn; the window maps these to colours (red, blue).
enum class Mark { None = 0, Local = 1, Winner = 2 };

// Item-data role that gives a cell's Mark as an int. A row's mark colours its first cell
// (the server entry); any other cell is coloured only by a mark of its own.
inline constexpr int MarkRole = Qt::UserRole + 1;
// Header role: true for a column that only holds another column's sort key.
inline constexpr int SortKeyRole = Qt::UserRole + 2;
// Item-data role giving a time cell's value to sort by (a double), and, for rows equal in it,
// a second one (SortTieRole). Text cells give none and sort by their text.
inline constexpr int SortRole = Qt::UserRole + 3;
inline constexpr int SortTieRole = Qt::UserRole + 4;
// Header role: whether a column is shown now. Sort keys never are; the run and round columns
// only once they tell rows apart (a second run, a run of several rounds), so a single
// one-round run shows and exports what it always did.
inline constexpr int ShownRole = Qt::UserRole + 5;

class LookupTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    // The sort key stays the last column, which the CSV never holds.
    enum Column {
        Domain = 0,
        DnsServer = 1,
        ResponseTime = 2,
        Run = 3,
        Round = 4,
        RealResponseTime = 5
    };
    static constexpr int kColumnCount = 6;

    using QAbstractTableModel::QAbstractTableModel;

    // A run of `rounds` rounds starts: the rows appended from now on are its own.
    void beginRun(int rounds);
    // Appends a row for a lookup about to run: domain, server entry, an empty time and the
    // key ".", in `round` (from 1) of the run under way. Returns its source row.
    int appendLookup(const QString& serverEntry, const QString& domain, int round = 1);
    void setResponseText(int row, const QString& text); // the dots while waiting
    // The lookup's time as the figures count it; `failure`, when set, is shown instead of it.
    void setResult(int row, double seconds, const QString& failure = {});
    // A note shown over the row's time (a truncated reply, say).
    void setToolTip(int row, const QString& text);
    // Empties the list (never during a run: the run holds row numbers).
    void clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row {
        QString domain;
        QString serverEntry;
        QString waitingText; // the dots, until the result comes
        bool done = false;
        double wholeMs = 0.0; // shown, and in the key
        double exactMs = 0.0; // sorted by
        QString failure;
        int run = 1;
        int round = 1;
    };
    QList<Row> m_rows;
    QHash<int, QString> m_toolTips; // few rows have one
    int m_runs = 0;
    bool m_severalRounds = false;
};

struct SummaryRow {
    QString serverEntry;
    double meanMs = 0.0;        // exact, shown rounded down ("27 ms")
    double medianMs = 0.0;      // of the whole milliseconds, shown rounded down
    double exactMedianMs = 0.0; // orders rows that show the same median
    bool isLocal = false;
    // Each kind's median, when the run asked more than one kind ("uncached 45 ms, ..."):
    // the row's tooltip.
    QString kindsNote;
};

class SummaryTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        DnsServer = 0,
        MeanResponse = 1,
        RealMeanResponseTime = 2,
        MedianResponse = 3,
        Run = 4,
        RealMedianResponseTime = 5
    };
    static constexpr int kColumnCount = 6;

    using QAbstractTableModel::QAbstractTableModel;

    // A run starts: the rows appended from now on are its own, and the earlier runs' winners
    // lose their mark, so only this run's fastest servers are marked.
    void beginRun();
    int appendSummary(const SummaryRow& row); // returns its source row
    const SummaryRow& summaryAt(int row) const;
    // Within a run colours once set stay, except that a winning mark replaces a local one.
    void setRowMark(int row, Mark mark);
    void setCellMark(int row, int column, Mark mark);
    // Empties the list (never during a run).
    void clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Entry {
        SummaryRow row;
        Mark rowMark = Mark::None;
        std::array<Mark, kColumnCount> cellMarks{};
        int run = 1;
    };
    QList<Entry> m_entries;
    int m_runs = 0;
};

} // namespace tarnbell::core
