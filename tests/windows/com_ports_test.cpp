// The plain helpers of the Windows serial backend: which names are COM
// ports, the serial number in a device instance id, which device an open
// reaches, and the order real and registered devices are listed in.
#include "link/ComPorts.h"

#include <gtest/gtest.h>

#include <string>

using comports::Device;

TEST(ComPorts, NamesOfEveryPortNormalizeAndOpenThroughTheDeviceNamespace) {
    for (int n = 1; n <= 256; ++n) {
        std::string upper = "COM" + std::to_string(n);
        EXPECT_EQ(comports::portName("com" + std::to_string(n)), upper);
        EXPECT_EQ(comports::portName("\\\\.\\" + upper), upper);
        // Only the namespace form reaches COM10 and above.
        EXPECT_EQ(comports::devicePath(upper), "\\\\.\\" + upper);
    }
    for (const char* other : {"", "COM", "COM0", "COM01", "COMX", "COM5 ", "LPT1", "/dev/pts/3", "COM1234",
                              "\\\\.\\", "C:/COM5"})
        EXPECT_EQ(comports::portName(other), "") << other;
}

TEST(ComPorts, SerialNumberComesFromTheDeviceInstance) {
    // The bridge's own driver adds the chip's port letter to the serial number.
    EXPECT_EQ(comports::serialFromInstanceId("FTDIBUS\\VID_0403+PID_6001+KD24000017A\\0000"), "KD24000017");
    EXPECT_EQ(comports::serialFromInstanceId("ftdibus\\VID_0403+PID_6001+A1B2C3D4A\\0000"), "A1B2C3D4");
    // The generic driver keeps it as the instance's last part...
    EXPECT_EQ(comports::serialFromInstanceId("USB\\VID_0403&PID_6001\\KD24000017"), "KD24000017");
    // ...and makes one up, with '&' in it, for a device that has none.
    EXPECT_EQ(comports::serialFromInstanceId("USB\\VID_0403&PID_6001\\5&2A3B4C5&0&2"), "");
    for (const char* none : {"", "FTDIBUS", "FTDIBUS\\VID_0403", "FTDIBUS\\VID_0403+PID_6001+A\\0000",
                             "ACPI\\PNP0501\\1", "USB\\VID_0403&PID_6001"})
        EXPECT_EQ(comports::serialFromInstanceId(none), "") << none;
}

TEST(ComPorts, OpensReachTheDeviceByDescriptionSerialOrCutSerial) {
    Device pedal{"Kestrova Drevani", "KD2400001799", "COM7"};
    EXPECT_TRUE(serialport::matches(pedal, "Kestrova Drevani", true));
    EXPECT_FALSE(serialport::matches(pedal, "Kestrova Drevani ", true));
    EXPECT_FALSE(serialport::matches(pedal, "KD2400001799", true));
    EXPECT_TRUE(serialport::matches(pedal, "KD2400001799", false));
    // The link keeps serial numbers cut to eleven characters; shorter cuts name no device.
    EXPECT_TRUE(serialport::matches(pedal, "KD240000179", false));
    EXPECT_FALSE(serialport::matches(pedal, "KD24000017", false));
    EXPECT_FALSE(serialport::matches(pedal, "KD240000178", false));
    EXPECT_FALSE(serialport::matches(pedal, "", false));    // an empty serial number names no device
    EXPECT_FALSE(serialport::matches(Device{"Kestrova Drevani", "", "COM8"}, "", false));
}

TEST(ComPorts, RealDevicesComeFirstThenRegistrationsNamingALivePort) {
    std::vector<Device> real = {{"Kestrova Drevani", "KD1", "COM3"}};
    std::vector<pedalregistry::Entry> registered(4);
    registered[0] = {"Kestrova Drevani", "VP1", "com5", 0};
    registered[1] = {"Kestrova Drevani", "VP2", "/dev/pts/4", 0};   // a Linux side's own registration
    registered[2] = {"Kestrova Drevani", "VP3", "COM6", -1};        // names no possible process
    registered[3] = {"Kestrova Drevani", "VP4", "\\\\.\\COM12", 0};

    std::vector<Device> all = comports::merge(real, registered, false);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].port, "COM3");
    EXPECT_EQ(all[1].serial, "VP1");
    EXPECT_EQ(all[1].port, "COM5");
    EXPECT_EQ(all[2].port, "COM12");

    std::vector<Device> virtualOnly = comports::merge(real, registered, true);
    ASSERT_EQ(virtualOnly.size(), 2u);
    EXPECT_EQ(virtualOnly[0].serial, "VP1");
}

#ifdef _WIN32
#include "link/WinSerialBackend.h"

// Under Wine SetupAPI lists no ports; on Windows it lists the bridges
// plugged in. Either way every entry is a COM port with the description asked for.
TEST(ComPorts, SetupApiListsOnlyComPortsWithTheDescription) {
    for (const char* description : {"Kestrova Drevani", "FT232R USB UART"}) {
        for (const Device& device : serialport::comPortsDescribed(description)) {
            EXPECT_EQ(comports::portName(device.port), device.port);
            EXPECT_EQ(device.description, description);
        }
    }
}
#endif
