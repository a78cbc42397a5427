#pragma once
// The arithmetic behind the result lists: sort keys, mean and median. Pure functions, no
// event loop needed.

#include <QList>
#include <QString>

namespace tarnbell::core {

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

} // namespace tarnbell::core
