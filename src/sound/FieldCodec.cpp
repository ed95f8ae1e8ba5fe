#include "sound/FieldCodec.h"

#include <cmath>

namespace {

// Integer part of |x|·scale, negated for negative x.
long truncated(double x, double scale)
{
    long n = long(std::fabs(x) * scale);
    return x < 0 ? -n : n;
}

}  // namespace

uint16_t encodeC16(double x)
{
    return uint16_t(truncated(x, 16384.0) & 0xFFFF);
}

void writeC16(uint8_t word[4], double x)
{
    uint16_t n = encodeC16(x);
    word[0] = uint8_t(n >> 8);
    word[1] = uint8_t(n & 0xFF);
}

double decodeC16(int16_t s)
{
    return s / 16384.0;
}

uint16_t encodeC11(double x)
{
    return uint16_t(truncated(x, 512.0) & 0x7FF);
}

void writeC11(uint8_t word[4], double x)
{
    uint16_t n = encodeC11(x);
    word[0] = uint8_t(n >> 3);
    word[1] = uint8_t((word[1] & 0x1F) | ((n & 7) << 5));
}

void writeAddress(uint8_t word[4], unsigned a)
{
    word[3] = uint8_t((a & 7) << 5);
    word[2] = uint8_t(((a >> 3) & 0x1F) | (((a >> 8) & 7) << 5));
    word[1] = uint8_t((word[1] & 0xE0) | ((a >> 11) & 0x1F));
}

unsigned readAddress(const uint8_t word[4])
{
    return ((unsigned(word[1]) << 16 | unsigned(word[2]) << 8 | word[3]) >> 5) & 0xFFFF;
}
