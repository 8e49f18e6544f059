#pragma once

#include <QtGlobal>

namespace practice {

// A small PRNG with a fixed algorithm, so that a seed gives the same practice on every machine
// and every build (std:: distributions are implementation-defined).
class SplitMix64 {
public:
    explicit SplitMix64(quint64 seed) : state_(seed) {}

    quint64 next() {
        quint64 z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // A value in [0, bound); the modulo bias is irrelevant for test data.
    quint64 below(quint64 bound) { return bound == 0 ? 0 : next() % bound; }

    // A value in [low, high].
    qint64 between(qint64 low, qint64 high) {
        return low + static_cast<qint64>(below(static_cast<quint64>(high - low) + 1));
    }

    // True with a probability of percent/100.
    bool percent(quint64 percent) { return below(100) < percent; }

private:
    quint64 state_;
};

} // namespace practice
