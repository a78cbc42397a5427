#include "core/results/statistics.h"

#include <algorithm>
#include <cmath>

namespace tarnbell::core {

namespace {

// Text of a whole number without exponent or fraction; -0 reads "0".
QString wholeText(double whole) {
    return QString::number(whole + 0.0, 'f', 0);
}

} // namespace

double roundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

QString ExtremeRound(double n) {
    const QString padded = QStringLiteral("00000000") + wholeText(std::floor(n));
    return padded.right(8);
}

void QuickSort(QList<double>& pvarArray, qsizetype plngLeft, qsizetype plngRight) {
    if (pvarArray.isEmpty())
        return;
    if (plngRight == 0) {
        plngLeft = 0;
        plngRight = pvarArray.size() - 1;
    }
    plngLeft = std::max<qsizetype>(plngLeft, 0);
    plngRight = std::min(plngRight, pvarArray.size() - 1);
    if (plngLeft >= plngRight)
        return;
    std::sort(pvarArray.begin() + plngLeft, pvarArray.begin() + plngRight + 1);
}

QString serverAddress(const QString& entry) {
    const qsizetype blank = entry.indexOf(QLatin1Char(' '));
    return blank < 0 ? entry : entry.left(blank);
}

QString recordTypeMnemonic(const QString& choice) {
    return serverAddress(choice);
}

double wholeMilliseconds(double seconds) {
    return std::floor(seconds * 1000.0);
}

QString millisecondsText(double milliseconds) {
    return wholeText(std::floor(milliseconds)) + QStringLiteral(" ms");
}

double meanMilliseconds(double totalSeconds, qsizetype count) {
    return count > 0 ? totalSeconds / static_cast<double>(count) * 1000.0 : 0.0;
}

double medianMilliseconds(QList<double> wholeMs) {
    const qsizetype n = wholeMs.size();
    if (n == 0)
        return 0.0;
    if (n >= 2)
        QuickSort(wholeMs, 0, n - 1);
    if (n % 2 == 1)
        return wholeMs[(n - 1) / 2];
    return (wholeMs[n / 2 - 1] + wholeMs[n / 2]) / 2.0;
}

} // namespace tarnbell::core
