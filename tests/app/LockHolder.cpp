// Holds the one-instance lock given as argument, says so on stdout, and keeps it until its
// standard input closes. Used to play "the first instance" in tests.
#include <cstdio>
#include <unistd.h>

#include "common/SingleInstance.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    SingleInstance lock(argv[1]);
    if (!lock.Acquire()) {
        std::puts("busy");
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    char c;
    while (read(0, &c, 1) > 0) {
    }
    return 0;
}
