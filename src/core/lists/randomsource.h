#pragma once
// The window's one pseudo-random generator, seeded once from the time of day. Shuffles of the
// input lists and the harvester's seed words draw from it.

#include <QString>
#include <QStringList>
#include <random>

namespace tarnbell::core {

class RandomSource {
public:
    explicit RandomSource(quint32 seed = TimeOfDaySeed());

    void Randomize(quint32 seed);
    // A value uniform in [0, 1), in single precision (24 random bits, never 1).
    float Rnd();

    // Milliseconds since local midnight.
    static quint32 TimeOfDaySeed();

private:
    std::mt19937 m_engine;
};

// The letter for one draw r: r x 25 + 97 rounded to the nearest whole number, halves to
// even, as a capital. "A" and "Z" therefore come up half as often as the other letters.
QChar SeedLetter(float r);

// A search seed word: three capital letters from three draws, the first draw first.
QString RandomSeedWord(RandomSource& random);

// A random permutation of `entries`: every entry drawn out at a fresh random position into a
// scratch list, then drawn back the same way (2 x n draws for n entries).
QStringList ShuffleEntries(QStringList entries, RandomSource& random);

} // namespace tarnbell::core
