#pragma once
// Order statistics for the benchmark programs' figures.

#include <algorithm>
#include <vector>

namespace tarnbell::bench {

struct Stats {
    double median = 0;
    double p99 = 0;
    double max = 0;
};

inline Stats stats(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        const auto i = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1) + 0.5);
        return values[i];
    };
    return {at(0.5), at(0.99), values.back()};
}

} // namespace tarnbell::bench
