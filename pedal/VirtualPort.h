// The pedal's end of its USB bridge: a pseudo-terminal whose other end the
// editor opens as the pedal's serial device. Optionally paced at the wire
// speed of 115200 baud 8N1 (ten bits a byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class VirtualPort {
public:
    ~VirtualPort() { close(); }
    // Opens a new pseudo-terminal in raw mode; false with errno set on failure.
    bool open();
    void close();
    bool isOpen() const { return master_ >= 0; }
    const std::string& path() const { return path_; }
    int fd() const { return master_; }

    void setWireSpeed(bool on) { paced_ = on; }
    // Reads what has arrived (at most n bytes); with pacing, returns only when
    // the last of them would have crossed the wire. 0 when nothing came.
    size_t receive(uint8_t* data, size_t n);
    // Sends bytes, paced when asked; false when the editor's side is gone.
    bool send(const uint8_t* data, size_t n);

private:
    int master_ = -1;
    int keep_ = -1;         // our own open handle on the terminal side keeps it from hanging up
    std::string path_;
    bool paced_ = false;
    int64_t rxFreeNs_ = 0;  // when the incoming wire is next free
};
