#pragma once
// The run's verdict, from its servers' figures at full precision: the fastest servers, the
// servers a test cannot tell from the fastest, and each server's chance of being the fastest.
// Whole milliseconds are for showing; every comparison here uses the exact times, so two
// servers that both show "0 ms" are still told apart, and the named fastest always heads
// its tie group.

#include "core/results/figures.h"

#include <QList>
#include <QString>

namespace tarnbell::core {

// The run's fastest servers: the lowest exact mean, and the lowest exact median; on a tie
// the earlier server keeps the title. A server that never answered is never the fastest, so when no
// lookup got an answer there is none (empty names, -1).
struct FastestServers {
    QString byMean;
    QString byMedian;
    qsizetype meanPosition = -1;
    qsizetype medianPosition = -1;
    bool any() const { return medianPosition >= 0; }
};
FastestServers fastestServers(const QList<ServerFigures>& servers);

// Two-sided p-value of the Mann-Whitney U test of two ascending samples (normal
// approximation with tie and continuity correction); 1 when either is empty or every value
// is the same.
double mannWhitneyP(const QList<double>& sortedA, const QList<double>& sortedB);

// Sets tiedWithFastest on every server whose times the Mann-Whitney test cannot tell from
// the median winner's at the 5 % level (the winner itself included). A server that never
// answered is never tied, and nothing is tied when there is no winner.
void markTies(QList<ServerFigures>& servers, const FastestServers& fastest);

// Sets fastestChance on every server: the share of 1,000 bootstrap resamples in which its
// median is the lowest (a tie shares the resample). Each resample draws, with replacement, as
// many times as the server has lookups from its own times, a failed lookup counted as ten
// seconds as in every figure; the generator's seed is fixed, so the same times give the same
// chances. A server that never answered gets 0; the chances of a run sum to 1 when any
// server answered.
void estimateFastestChances(QList<ServerFigures>& servers);

} // namespace tarnbell::core
