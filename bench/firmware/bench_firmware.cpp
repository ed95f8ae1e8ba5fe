// Times a full firmware update (64 KiB, 1,024 verified pages) against a
// virtual pedal in update mode that paces every byte at the wire speed
// (115200 baud, 8N1: 11,520 bytes per second). Each page moves 131 bytes
// (67 out, 64 back), so the wire alone allows 11,520 / 131 = 87.9 pages per
// second; the result is the measured time per page over that floor.
//
//   bench_firmware [PAGES]      (default 1024; goal: ratio under 1.3)
//
// Starts its own orvella-pedal in a private folder; exits 1 if the update
// fails or the goal is missed.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestPedal.h"
#include "link/OV_UsbController.h"
#include "maintenance/firmware_package.h"
#include "maintenance/firmware_transfer.h"

namespace {

class UsbPageLink : public firmware::PageLink {
public:
    explicit UsbPageLink(OV_UsbController& usb) : usb(usb) {}
    int writePage(unsigned address, const uint8_t* page) override { return usb.writePage(address, page); }
    const uint8_t* echo() const override { return usb.buffer; }
    void sendVersion(uint8_t version) override { usb.oneByte(0xB0, version); }

private:
    OV_UsbController& usb;
};

}  // namespace

int main(int argc, char** argv) {
    long pages = argc > 1 ? std::atol(argv[1]) : 1024;
    if (pages <= 0 || pages > 1024) pages = 1024;

    testpedal::PedalFolder folder;
    testpedal::PedalOptions options;
    options.serial = "BENCHFW1";
    options.updateMode = true;
    options.wireSpeed = true;
    testpedal::VirtualPedal pedal(folder, options);
    std::string error;
    if (!pedal.start(&error)) {
        std::fprintf(stderr, "bench_firmware: cannot start the virtual pedal: %s\n", error.c_str());
        return 1;
    }

    // The link prints a diagnostic line per exchange; silence it while timing.
    fflush(stdout);
    int savedStdout = dup(STDOUT_FILENO);
    int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) dup2(devNull, STDOUT_FILENO);
    OV_UsbController usb(0, 0, 10, 10);
    bool opened = usb.openByDescription();
    std::vector<uint8_t> payload(static_cast<size_t>(pages) * firmware::kPageSize);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 31 + 7);

    UsbPageLink link(usb);
    auto start = std::chrono::steady_clock::now();
    firmware::Outcome outcome = opened ? firmware::sendFirmware(link, payload, 0x24, nullptr) : firmware::Outcome();
    auto end = std::chrono::steady_clock::now();
    fflush(stdout);
    if (savedStdout >= 0) dup2(savedStdout, STDOUT_FILENO);
    if (devNull >= 0) close(devNull);
    pedal.stop();

    if (!opened || outcome.kind != firmware::Outcome::Complete) {
        std::fprintf(stderr, "bench_firmware: the update did not complete (%ld pages verified)\n",
                     outcome.pagesVerified);
        return 1;
    }
    double seconds = std::chrono::duration<double>(end - start).count();
    double floorPerPage = 131.0 / 11520.0;
    double perPage = seconds / static_cast<double>(pages);
    double ratio = perPage / floorPerPage;
    std::printf(
                 "firmware update: %ld pages in %.2f s = %.1f pages/s (%.2f ms per page)\n"
                 "wire floor: %.2f ms per page (%.1f pages/s)\n"
                 "ratio to the floor: %.3f (goal: under 1.3) %s\n",
                 pages, seconds, pages / seconds, perPage * 1e3, floorPerPage * 1e3, 1.0 / floorPerPage, ratio,
                 ratio < 1.3 ? "met" : "MISSED");
    return ratio < 1.3 ? 0 : 1;
}
