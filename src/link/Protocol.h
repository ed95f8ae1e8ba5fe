// The pedal's command set: command bytes, message and reply sizes, and the
// bits of the status byte. The editor's link and the virtual pedal both use
// these names, so the two sides cannot drift apart. Plain C++, no toolkit.
//
// Every exchange starts with one command byte:
//   ReadPreset + 2*slot   -> 24 bytes (12-byte record, 12-byte title)
//   StorePreset + 2*slot  + record + title (25 bytes), then the 512-byte
//                           image, which the pedal echoes (512 bytes)
//   GetConfig             -> 1 byte (the global configuration byte)
//   SetConfig, value      (2 bytes, no reply)
//   ReadAll               -> 192 bytes (8 records, then 8 titles)
//   GetStatus             -> 1 byte (see the status bits below)
//   WritePage, lo, hi     + 64 bytes (67 bytes) -> the 64 bytes read back
//   SetVersion, version   (2 bytes, no reply)
//   OscillatorSet/Burn, v (2 bytes, no reply)
//   Resume                (1 byte, no reply: leave update mode)
// Any other first byte starts a 512-byte image to play without storing it
// (a preview).
#pragma once

#include <cstddef>
#include <cstdint>

namespace protocol {

enum Command : uint8_t {
    ReadPreset = 0x00,      // + 2 * slot, slots 0..7
    StorePreset = 0x10,     // + 2 * slot, slots 0..7
    GetConfig = 0x20,
    SetConfig = 0x30,
    ReadAll = 0x40,
    GetStatus = 0x50,
    WritePage = 0xA0,
    SetVersion = 0xB0,
    OscillatorSet = 0xD0,
    OscillatorBurn = 0xE0,
    Resume = 0xFF,
};

constexpr int PresetSlots = 8;
constexpr size_t RecordSize = 12;
constexpr size_t TitleSize = 12;
constexpr size_t PresetReplySize = RecordSize + TitleSize;          // 24
constexpr size_t StoreHeaderSize = 1 + RecordSize + TitleSize;      // 25
constexpr size_t ImageSize = 512;
constexpr size_t BankSize = PresetSlots * (RecordSize + TitleSize); // 192
constexpr size_t PageSize = 64;
constexpr size_t PageMessageSize = 3 + PageSize;                    // 67
constexpr size_t OneByteReplySize = 1;

// The status byte: bit 7 set in normal operation, clear while the pedal's
// loader waits for firmware; bits 4-6 the major version, bits 0-3 the minor.
constexpr uint8_t StatusRunning = 0x80;
constexpr uint8_t StatusVersionMask = 0x7F;
inline int statusMajor(uint8_t status) { return (status >> 4) & 0x07; }
inline int statusMinor(uint8_t status) { return status & 0x0F; }

// The global configuration byte: bits 7-6 the left knob's function, 5-4 the
// right knob's (0 mic position, 1 channel blend, 2 vol and phase; 3 names
// none), 3-0 the MIDI channel - 1. The functions' names as the global
// configuration prompt lists them; orvella-cli shows them without the
// leading spaces.
constexpr int KnobFunctions = 3;
inline constexpr const char* knobFunctionItems[KnobFunctions] = {"     Mic Position", "  Channel Blend",
                                                                  "  Vol and Phase"};

// The command byte that reads or stores preset `slot` (0..7).
constexpr uint8_t readPresetCommand(int slot) { return static_cast<uint8_t>(ReadPreset + 2 * slot); }
constexpr uint8_t storePresetCommand(int slot) { return static_cast<uint8_t>(StorePreset + 2 * slot); }
// Whether `first` reads or stores a preset, and which slot it names.
constexpr bool isReadPreset(uint8_t first) { return first <= 0x0E && (first & 1) == 0; }
constexpr bool isStorePreset(uint8_t first) { return first >= 0x10 && first <= 0x1E && (first & 1) == 0; }
constexpr int slotOf(uint8_t first) { return (first & 0x0E) >> 1; }

}  // namespace protocol
