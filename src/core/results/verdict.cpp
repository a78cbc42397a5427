#include "core/results/verdict.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace tarnbell::core {

namespace {

constexpr double kTieLevel = 0.05;
constexpr int kResamples = 1000;
constexpr std::uint64_t kResampleSeed = 0x7461726e62656c6cULL;

// The median of a resample of `sorted` (ascending) given how often each position was drawn:
// the middle drawn value, or the mean of the two middle ones. The times being sorted, the
// drawn positions in order give the drawn values in order, so no value is copied or sorted.
double resampleMedian(const QList<double>& sorted, const std::vector<int>& drawn) {
    const std::size_t count = drawn.size();
    const std::size_t upperRank = count / 2; // 0-based rank of the upper middle value
    std::size_t seen = 0;
    std::size_t position = 0;
    while (seen + std::size_t(drawn[position]) <= upperRank)
        seen += std::size_t(drawn[position++]);
    const double upper = sorted.at(qsizetype(position));
    if (count % 2 == 1)
        return upper;
    // The value ranked just below: the same position when it was drawn before the upper one
    // too, else the last drawn position before it.
    if (seen < upperRank)
        return upper;
    std::size_t below = position;
    while (drawn[--below] == 0) {
    }
    return (sorted.at(qsizetype(below)) + upper) / 2.0;
}

} // namespace

FastestServers fastestServers(const QList<ServerFigures>& servers) {
    FastestServers fastest;
    double bestMean = 0.0;
    double bestMedian = 0.0;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        const ServerFigures& figures = servers.at(i);
        if (figures.all.answered == 0)
            continue;
        if (fastest.meanPosition < 0 || figures.all.meanMs < bestMean) {
            bestMean = figures.all.meanMs;
            fastest.byMean = figures.serverEntry;
            fastest.meanPosition = i;
        }
        const double median = figures.all.exactMedianMs;
        if (fastest.medianPosition < 0 || median < bestMedian) {
            bestMedian = median;
            fastest.byMedian = figures.serverEntry;
            fastest.medianPosition = i;
        }
    }
    return fastest;
}

double mannWhitneyP(const QList<double>& sortedA, const QList<double>& sortedB) {
    const auto n1 = static_cast<double>(sortedA.size());
    const auto n2 = static_cast<double>(sortedB.size());
    if (sortedA.isEmpty() || sortedB.isEmpty())
        return 1.0;
    // Walk both samples in step, giving each group of equal values its average rank.
    double rankSumA = 0.0;
    double tieTerm = 0.0; // sum of t^3 - t over the groups of equal values
    qsizetype i = 0;
    qsizetype j = 0;
    double nextRank = 1.0;
    while (i < sortedA.size() || j < sortedB.size()) {
        const double value = j >= sortedB.size() || (i < sortedA.size() && sortedA[i] < sortedB[j])
                                 ? sortedA[i]
                                 : sortedB[j];
        double inA = 0.0;
        double inB = 0.0;
        for (; i < sortedA.size() && sortedA[i] == value; ++i)
            inA += 1.0;
        for (; j < sortedB.size() && sortedB[j] == value; ++j)
            inB += 1.0;
        const double group = inA + inB;
        rankSumA += inA * (nextRank + (group - 1.0) / 2.0);
        tieTerm += group * group * group - group;
        nextRank += group;
    }
    const double n = n1 + n2;
    const double u = rankSumA - n1 * (n1 + 1.0) / 2.0;
    const double variance = n1 * n2 / 12.0 * ((n + 1.0) - tieTerm / (n * (n - 1.0)));
    if (variance <= 0.0)
        return 1.0;
    const double z = std::max(std::abs(u - n1 * n2 / 2.0) - 0.5, 0.0) / std::sqrt(variance);
    return std::min(1.0, std::erfc(z / std::sqrt(2.0)));
}

void markTies(QList<ServerFigures>& servers, const FastestServers& fastest) {
    for (ServerFigures& figures : servers)
        figures.tiedWithFastest = false;
    if (!fastest.any())
        return;
    const QList<double> reference = servers.at(fastest.medianPosition).all.sortedMs;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        ServerFigures& figures = servers[i];
        // Too few lookups can make anything look alike; a server that never answered is
        // still no match for one that did.
        figures.tiedWithFastest = i == fastest.medianPosition ||
                                  (figures.all.answered > 0 &&
                                   mannWhitneyP(figures.all.sortedMs, reference) >= kTieLevel);
    }
}

void estimateFastestChances(QList<ServerFigures>& servers) {
    std::vector<double> wins(static_cast<std::size_t>(servers.size()), 0.0);
    std::mt19937_64 generator(kResampleSeed);
    std::vector<int> drawn;
    std::vector<qsizetype> lowest;
    for (int resample = 0; resample < kResamples; ++resample) {
        double best = 0.0;
        lowest.clear();
        for (qsizetype i = 0; i < servers.size(); ++i) {
            const TimeFigures& figures = servers.at(i).all;
            if (figures.answered == 0 || figures.sortedMs.isEmpty())
                continue;
            std::uniform_int_distribution<qsizetype> pick(0, figures.sortedMs.size() - 1);
            drawn.assign(static_cast<std::size_t>(figures.sortedMs.size()), 0);
            for (qsizetype draw = 0; draw < figures.sortedMs.size(); ++draw)
                ++drawn[static_cast<std::size_t>(pick(generator))];
            const double median = resampleMedian(figures.sortedMs, drawn);
            if (lowest.empty() || median < best) {
                best = median;
                lowest.assign(1, i);
            } else if (median == best) {
                lowest.push_back(i);
            }
        }
        for (const qsizetype i : lowest)
            wins[static_cast<std::size_t>(i)] += 1.0 / static_cast<double>(lowest.size());
    }
    for (qsizetype i = 0; i < servers.size(); ++i)
        servers[i].fastestChance = wins[static_cast<std::size_t>(i)] / kResamples;
}

} // namespace tarnbell::core
