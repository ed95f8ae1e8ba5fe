// The serial port contract served on Windows by the FTDI bridge's virtual COM port:
// bridges found through SetupAPI by the USB description the bus reports,
// then the virtual pedals registered in ORVELLA_PEDAL_DIR under a COM port's
// name. The claim: a port is opened with CreateFile without sharing
// (Windows then refuses it to every other program), and a named mutex per
// port is owned with it, since not every driver or emulation refuses a
// second open; both are held for one transaction, or for the whole run
// while claims are kept. It is set to raw 8N1 with
// SetCommState and waited on with read time-outs (COMMTIMEOUTS), never with
// comm events.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "link/ComPorts.h"
#include "link/SerialPort.h"

namespace serialport {

// The COM ports whose USB device reports the given description, in the
// order SetupAPI lists them.
std::vector<comports::Device> comPortsDescribed(const std::string& description);

class WinSerialBackend : public Backend {
public:
    ~WinSerialBackend() override;   // lets every port go (its open ports are closed before)
    std::vector<Device> list() override;
    FT_STATUS open(const std::string& key, bool byDescription, std::unique_ptr<Port>& port,
                   std::string& problem) override;
    void claim(bool keep) override;

private:
    class ComPort;
    struct Held {
        void* port;     // the port, opened without sharing
        void* owner;    // the port's named mutex, owned by this program
    };
    void closed(const std::string& name, Held held);    // a port's end
    static void letGo(Held held);
    std::set<std::string> open_;            // ports open now (one each)
    std::map<std::string, unsigned> baud_;  // kept per port from one open to the next (9600 until set)
    // Port name -> the handle of a port closed while claims are kept: still
    // open without sharing, so the run keeps it from other programs.
    std::map<std::string, Held> parked_;
    int kept_ = 0;                          // claim(true) not yet undone
};

}  // namespace serialport
