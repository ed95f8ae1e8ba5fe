// The three fixed-point fields the editor writes into 32-bit instruction words.
// A word is 4 bytes, most significant first (byte 0 holds bits 24..31).
// Encoders truncate toward zero and do not saturate: callers keep |x| < 2.
#pragma once

#include <cstdint>

// C16: signed, 14 fraction bits, in bits 16..31 (bytes 0 and 1).
uint16_t encodeC16(double x);
void writeC16(uint8_t word[4], double x);
double decodeC16(int16_t s);

// C11: signed, 9 fraction bits, in bits 21..31 (byte 0 and the top three bits
// of byte 1); the rest of the word is left alone.
uint16_t encodeC11(double x);   // the 11-bit two's complement value
void writeC11(uint8_t word[4], double x);

// Delay-memory address, 16 bits in bits 5..20. Byte 0 and the top three bits
// of byte 1 (a C11 field) are kept; the low five bits of byte 3 become 0.
void writeAddress(uint8_t word[4], unsigned address);
unsigned readAddress(const uint8_t word[4]);
