#include <cstdio>

int main(int argc, char** argv) {
    std::fprintf(stderr, "usage: sonquil-cli COMMAND ...\n");
    return 2;
}
