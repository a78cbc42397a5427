#include "core/results/verdict.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

namespace tarnbell::core {

namespace {

constexpr double kTieLevel = 0.05;
constexpr int kResamples = 1000;
constexpr std::uint64_t kResampleSeed = 0x7461726e62656c6cULL;

// A small fast generator (xoshiro256**, seeded by splitmix64); the fixed seed keeps every
// run's chances reproducible.
class ResampleGenerator {
public:
    using result_type = std::uint64_t;
    static constexpr result_type min() { return 0; }
    static constexpr result_type max() { return ~result_type(0); }

    explicit ResampleGenerator(std::uint64_t seed) {
        for (std::uint64_t& word : m_state) {
            seed += 0x9e3779b97f4a7c15ULL;
            std::uint64_t mixed = seed;
            mixed = (mixed ^ (mixed >> 30)) * 0xbf58476d1ce4e5b9ULL;
            mixed = (mixed ^ (mixed >> 27)) * 0x94d049bb133111ebULL;
            word = mixed ^ (mixed >> 31);
        }
    }

    result_type operator()() {
        const std::uint64_t result = std::rotl(m_state[1] * 5, 7) * 9;
        const std::uint64_t shifted = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= shifted;
        m_state[3] = std::rotl(m_state[3], 45);
        return result;
    }
    // Uniform in [0, 1).
    double unit() { return double((*this)() >> 11) * 0x1p-53; }

private:
    std::uint64_t m_state[4] = {};
};

// The median of one bootstrap resample of `sorted` (ascending, n times): n positions drawn
// with replacement, the middle one's time (the mean of the two middle ones for even n).
// Drawing a position is taking floor(n * U) of a uniform U, so the k-th smallest drawn
// position is floor(n * U(k)) with U(k) the k-th smallest of n uniforms, which is
// Beta(k, n - k + 1); the next one up lies above it like the least of the n - k uniforms left.
// Drawing those two directly gives the resample's median in its exact distribution at the
// cost of a few draws instead of n (a 99 x 99 run asks for 99,000 medians).
double resampleMedian(const QList<double>& sorted, ResampleGenerator& generator) {
    const double n = double(sorted.size());
    const double k = std::floor((n + 1.0) / 2.0); // rank of the (lower) middle, from 1
    std::gamma_distribution<double> below(k);
    std::gamma_distribution<double> above(n - k + 1.0);
    const double lowBelow = below(generator);
    const double lower = lowBelow / (lowBelow + above(generator));
    const auto at = [&sorted, n](double uniform) {
        return sorted.at(qsizetype(std::min(std::floor(n * uniform), n - 1.0)));
    };
    if (sorted.size() % 2 == 1)
        return at(lower);
    const double next = lower + (1.0 - lower) * (1.0 - std::pow(generator.unit(), 1.0 / (n - k)));
    return (at(lower) + at(next)) / 2.0;
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
    ResampleGenerator generator(kResampleSeed);
    std::vector<qsizetype> lowest;
    for (int resample = 0; resample < kResamples; ++resample) {
        double best = 0.0;
        lowest.clear();
        for (qsizetype i = 0; i < servers.size(); ++i) {
            const TimeFigures& figures = servers.at(i).all;
            if (figures.answered == 0 || figures.sortedMs.isEmpty())
                continue;
            const double median = resampleMedian(figures.sortedMs, generator);
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
