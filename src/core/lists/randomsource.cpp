#include "core/lists/randomsource.h"

#include <QTime>
#include <cmath>

namespace tarnbell::core {

RandomSource::RandomSource(quint32 seed) : m_engine(seed) {}

void RandomSource::Randomize(quint32 seed) {
    m_engine.seed(seed);
}

float RandomSource::Rnd() {
    // The top 24 bits of one draw, scaled: exactly representable, so the result never
    // rounds up to 1.
    constexpr float kScale = 1.0F / 16777216.0F;
    return static_cast<float>(m_engine() >> 8) * kScale;
}

quint32 RandomSource::TimeOfDaySeed() {
    return static_cast<quint32>(QTime::currentTime().msecsSinceStartOfDay());
}

QChar SeedLetter(float r) {
    const float code = std::nearbyint(r * 25.0F + 97.0F); // default rounding: halves to even
    return QChar(static_cast<char16_t>(code)).toUpper();
}

QString RandomSeedWord(RandomSource& random) {
    QString word;
    for (int i = 0; i < 3; ++i)
        word += SeedLetter(random.Rnd());
    return word;
}

namespace {

// Index floor(r x n) of a fresh draw, kept inside the list whatever the rounding.
qsizetype pick(RandomSource& random, qsizetype count) {
    const auto index = static_cast<qsizetype>(std::floor(double(random.Rnd()) * double(count)));
    return std::min(index, count - 1);
}

} // namespace

QStringList ShuffleEntries(QStringList entries, RandomSource& random) {
    QStringList scratch;
    scratch.reserve(entries.size());
    while (!entries.isEmpty())
        scratch.append(entries.takeAt(pick(random, entries.size())));
    while (!scratch.isEmpty())
        entries.append(scratch.takeAt(pick(random, scratch.size())));
    return entries;
}

} // namespace tarnbell::core
