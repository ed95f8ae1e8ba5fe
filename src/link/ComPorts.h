// The serial devices the Windows backend knows, in plain C++: the bridges'
// COM ports found through SetupAPI (WinSerialBackend.cpp) followed by the
// virtual pedals registered in ORVELLA_PEDAL_DIR under a COM port's name.
// The helpers here need no system calls, so they build and run everywhere.
#pragma once

#include <string>
#include <vector>

#include "link/PedalRegistry.h"
#include "link/SerialPort.h"

namespace comports {

using Device = serialport::Device;      // port: "COM5"

// "COM5", "com5", "\\.\COM12" -> "COM5" / "COM12"; "" for anything that is
// not a COM port (a Linux tty named by a registration, say).
std::string portName(const std::string& text);
// The name CreateFile opens a port by: "\\.\COM12" (the only form that
// reaches ports above COM9).
std::string devicePath(const std::string& port);
// The serial number in a device instance id: the FTDI driver's
// "FTDIBUS\VID_0403+PID_6001+A12345BCA\0000" gives "A12345BC" (the last
// letter names the chip's port), the generic USB driver's
// "USB\VID_0403&PID_6001\A12345BC" gives "A12345BC". "" when none.
std::string serialFromInstanceId(const std::string& instanceId);
// The real devices, then the live registrations that name a COM port. With
// ORVELLA_VIRTUAL_ONLY set (and not "0") the real ones are left out.
std::vector<Device> merge(const std::vector<Device>& real, const std::vector<pedalregistry::Entry>& registered,
                          bool virtualOnly);

}  // namespace comports
