// How long the window is busy parsing when the search buffer is full: the parse runs in
// one go on the window's thread, so this is the longest pause a harvest can cause.
#include "core/harvest/harvestparser.h"
#include "core/harvest/searchbuffer.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tarnbell::core;

namespace {

// A result-page-like text: markup, a few links per kilobyte, most of them repeats.
QByteArray fullBuffer(qsizetype size) {
    QByteArray text;
    text.reserve(size + 512);
    for (int i = 0; text.size() < size; ++i) {
        text += "<div class=\"g\"><a href=\"http://www.google.com/url?q=x\">cached</a>"
                "<a href=\"http://site";
        text += QByteArray::number(i % 500);
        text += ".example.org/some/path?id=1\">Result title text that is fairly long</a>"
                "<span>https://secure.example/ 10.0.0.1 snippet words words words</span></div>\n";
    }
    text.truncate(size);
    return text;
}

double medianMs(const QByteArrayView text, int count, int rounds) {
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer clock;
        clock.start();
        const QStringList names = harvestNames(text, {}, count);
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (names.isEmpty())
            std::puts("no names?");
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main() {
    const int rounds = 9;
    const QByteArray page = fullBuffer(200 * 1024);
    const QByteArray full = fullBuffer(SearchBuffer::DefaultLimit);
    // count 50 stops early; 1000 forces a walk over every link of the text.
    const double pageStop = medianMs(page, 50, rounds);
    const double fullStop = medianMs(full, 50, rounds);
    const double pageAll = medianMs(page, 1000, rounds);
    const double fullAll = medianMs(full, 1000, rounds);
    std::printf("harvestNames, median of %d rounds\n", rounds);
    std::printf("  200 KiB page, 50 names:       %8.2f ms\n", pageStop);
    std::printf("  4 MiB buffer, 50 names:       %8.2f ms\n", fullStop);
    std::printf("  200 KiB page, every link:     %8.2f ms\n", pageAll);
    std::printf("  4 MiB buffer, every link:     %8.2f ms  (%.1fx the page)\n", fullAll,
                fullAll / pageAll);
    return 0;
}
