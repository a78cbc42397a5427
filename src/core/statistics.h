#pragma once
// The arithmetic and wording behind the result lists: sort keys, mean and median, the
// progress line and the completion texts. Pure functions, no event loop needed.

#include <QList>
#include <QMetaType>
#include <QString>

namespace tarnbell::core {

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4), whatever the
// floating-point rounding mode happens to be.
double roundHalfEven(double value);

// The 8-character sort key: the last 8 characters of "00000000" followed by the whole part
// (floor) of `n`. 47.8 -> "00000047", 10000 -> "00010000", -3.2 -> "000000-4". For whole
// parts from 0 to 99,999,999 the text order of keys is their numeric order.
QString ExtremeRound(double n);

// Sorts positions `plngLeft` to `plngRight` of `pvarArray` ascending, in place. A right
// bound of 0 sorts the whole array, whatever the left bound. Bounds outside the array are
// clamped to it.
void QuickSort(QList<double>& pvarArray, qsizetype plngLeft = 0, qsizetype plngRight = 0);

// The address part of a server entry: the text before its first blank, or the whole entry.
QString serverAddress(const QString& entry);

// The record-type mnemonic of a choice such as "MX 15": the text before its first blank.
QString recordTypeMnemonic(const QString& choice);

// A lookup's time in whole milliseconds: seconds x 1000, rounded down.
double wholeMilliseconds(double seconds);

// "47 ms": the whole part (floor) of `milliseconds` followed by " ms".
QString millisecondsText(double milliseconds);

// Mean in milliseconds from the summed exact seconds of `count` lookups.
double meanMilliseconds(double totalSeconds, qsizetype count);

// Median in milliseconds of whole-millisecond times: the middle value, or the mean of the
// two middle values for an even count. 0 for no values.
double medianMilliseconds(QList<double> wholeMs);

// The progress line while a run goes: "37.50% complete" (two decimals, the current
// locale's decimal separator), and the fixed text at its end.
QString progressText(double percentDone);
QString progressCompleteText();

// The progress fill: red 150, green 155 + p, blue 255 - p (rounded halves to even), from
// light blue at 0 towards light green; (150, 255, 255) once the run is complete.
Rgb progressFill(double percentDone);
Rgb progressCompleteFill();

// How the result is worded: one name when the mean and the median agree on the fastest
// server, both otherwise.
struct CompletionWording {
    QString names; // "E", or "mean winner / median winner"
    QString verb;  // " was" or "s were"
    QString note;  // empty, or CR LF "(mean average/median average)"
};

CompletionWording completionWording(const QString& bestMeanServer, const QString& bestMedianServer);
// "Completed! - Fastest DNS Server was: E", for the status line.
QString completionStatus(const CompletionWording& wording);
// "Completed!" CR LF CR LF "Fastest server was:" CR LF "E" (and the note), for the caller.
QString completionText(const CompletionWording& wording);

} // namespace tarnbell::core

Q_DECLARE_METATYPE(tarnbell::core::Rgb)
