#pragma once
// The pseudo-random sequence behind shuffled playback and the shuffle sort. Start-up seeds it once
// with the time; tests seed it with a fixed value to get a repeatable order.
//
// Threads: user-interface thread only, like every playlist operation. No lock.

// Restarts the sequence.
void SeedPlaylistRandom(unsigned seed);

// The next value, evenly spread over 0 .. bound - 1; 0 when bound < 1. Every row of a long list
// can be reached, not only the first 32768.
int NextPlaylistRandom(int bound);
