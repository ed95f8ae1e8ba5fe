// Faults the virtual pedal can be told to show, from its command line
// (--fault NAME[=VALUE]) or from its faults file, one per line:
//   no-reply             never answers
//   short-reply          answers only the first half of every reply
//   corrupt-echo         flips one byte of the next store or page echo, once
//   corrupt-echo-always  flips one byte of every store or page echo
//   slow-reply=SECONDS   waits that long before every reply
//   stuck-tx             its bridge never drains what the editor sends: the
//                        pedal leaves it unread (docs/link.md)
//   unplug               disappears from the device list and closes its port
//   keep-wrong-record    echoes every stored image correctly but keeps the
//                        preset's title with its last character changed
//   keep-wrong-byte=N    echoes every stored image correctly but keeps byte N
//                        of what was stored changed: 0 to 11 the record's
//                        bytes, 12 to 23 the title's characters
//   stray-byte           sends one stray byte (0x5A) whenever the line has
//                        been idle for 0.2 s
#pragma once

#include <string>

struct PedalFaults {
    bool noReply = false;
    bool shortReply = false;
    bool corruptOnce = false;
    bool corruptAlways = false;
    double slowSeconds = 0;
    bool stuckTx = false;
    bool unplug = false;
    bool keepWrongRecord = false;
    int keepWrongByte = -1;     // -1: none
    bool strayByte = false;

    // Adds one fault; false when the text names none or its value is out of
    // range (why, when given, then says which).
    bool add(const std::string& text, std::string* why = nullptr);
    // Replaces the faults file's part with the file's lines (missing file: none).
    bool loadFile(const std::string& path, std::string& error);
};
