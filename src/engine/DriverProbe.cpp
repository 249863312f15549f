#include "engine/DriverProbe.h"

#include <cstdio>

std::string ProbeLine(int32_t rate, int32_t bits, bool yes) {
    char line[64];
    std::snprintf(line, sizeof line, "[%6d Hz / %d]: %s", static_cast<int>(rate), static_cast<int>(bits),
                  yes ? "yes" : "no");
    return line;
}

std::vector<std::string> ProbeLines(DriverProbe& probe, int32_t index, bool output) {
    std::vector<std::string> lines;
    for (int32_t bits : {16, 24})
        for (int32_t rate : kProbeRates) {
            const bool yes = output ? probe.ProbeOutput(index, rate, bits, 2) : probe.ProbeInput(index, rate, bits, 2);
            lines.push_back(ProbeLine(rate, bits, yes));
        }
    return lines;
}
