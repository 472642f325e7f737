#include "playlist/PlaylistRandom.h"

#include <random>

namespace {

std::minstd_rand& Generator() {
    static std::minstd_rand generator;
    return generator;
}

} // namespace

void SeedPlaylistRandom(unsigned seed) {
    Generator().seed(seed);
}

int NextPlaylistRandom(int bound) {
    if (bound < 1) {
        return 0;
    }
    return std::uniform_int_distribution<int>(0, bound - 1)(Generator());
}
