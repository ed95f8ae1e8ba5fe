#include "reference/ToneChartSpeakers.h"

#include <cstring>

void fillToneChartSpeakers(int speakers[78]) {
    std::memset(speakers, 2, 78 * sizeof(int));
    static const struct {
        int first;
        int count;
        int values[10];
    } runs[] = {
        {3, 10, {2, 3, 6, 7, 10, 11, 14, 15, 18, 19}},
        {16, 10, {23, 24, 27, 28, 31, 32, 35, 36, 39, 40}},
        {29, 10, {42, 43, 46, 47, 50, 51, 54, 55, 58, 59}},
        {42, 7, {61, 62, 64, 65, 66, 68, 69}},
        {52, 6, {70, 72, 73, 74, 76, 77}},
    };
    for (const auto& run : runs)
        for (int i = 0; i < run.count; ++i) speakers[run.first + i] = run.values[i];
}
