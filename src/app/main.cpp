// Stand-in for the player until its window exists: it says what it would play and exits.
#include <cstdio>

int main(int argc, char** argv) {
    std::printf("qor: the player window is not built yet; nothing is played.\n");
    for (int i = 1; i < argc; ++i) {
        std::printf("qor: would play %s\n", argv[i]);
    }
    return 0;
}
