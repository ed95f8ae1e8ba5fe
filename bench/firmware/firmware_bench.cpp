// Times a full firmware update (64 KiB, 1,024 verified pages) against a
// virtual pedal in update mode that paces every byte at the wire speed
// (115200 baud, 8N1: 11,520 bytes per second). Each page moves 131 bytes
// (67 out, 64 back), so the wire alone allows 11,520 / 131 = 87.9 pages per
// second; the result is the measured time per page over that floor.
//
//   bench_firmware [PAGES] [--instant]   (default 1024; goal: ratio under 1.3)
//
// With --instant the pedal answers without pacing, which shows the cost per
// page that comes on top of the wire time (the ratio is then meaningless).
//
// Starts its own orvella-pedal in a private folder; exits 1 if the update
// fails or the goal is missed. Also prints where the time per page went,
// measured around the link's device calls: opening, writing, waiting for the
// echo (the wire time of both directions and the pedal's own work lie in
// it), reading and closing.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/pedal/TestPedal.h"
#include "link/OV_UsbController.h"
#include "link/SerialPort.h"
#include "maintenance/FirmwarePackage.h"
#include "maintenance/FirmwareTransfer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Passes every call on to the serial-driver backend and adds up the time
// spent in each kind of call.
class TimedBackend : public serialport::Backend {
public:
    enum Kind { Open, Write, Wait, Read, Close, Kinds };
    double seconds[Kinds] = {};

    TimedBackend() : inner(serialport::backend()) { serialport::setBackend(this); }
    ~TimedBackend() override { serialport::setBackend(nullptr); }

    std::vector<serialport::Device> list() override {
        std::vector<serialport::Device> all;
        timed(Open, [&] {
            all = inner.list();
            return FT_STATUS(FT_OK);
        });
        return all;
    }
    FT_STATUS open(const std::string& key, bool byDescription, std::unique_ptr<serialport::Port>& port,
                   std::string& problem) override {
        FT_STATUS status = timed(Open, [&] { return inner.open(key, byDescription, port, problem); });
        if (port) port.reset(new Timed(std::move(port), *this));
        return status;
    }
    void claim(bool keep) override { inner.claim(keep); }

private:
    class Timed : public serialport::Port {
    public:
        Timed(std::unique_ptr<serialport::Port> port, TimedBackend& owner)
            : Port(port->device()), p(std::move(port)), t(owner) {}
        ~Timed() override {
            t.timed(Close, [&] {
                p.reset();
                return FT_STATUS(FT_OK);
            });
        }
        FT_STATUS setup(unsigned baud, int r, int w) override { return t.timed(Open, [&] { return p->setup(baud, r, w); }); }
        FT_STATUS write(const uint8_t* data, uint32_t n, uint32_t& written) override {
            return t.timed(Write, [&] { return p->write(data, n, written); });
        }
        FT_STATUS read(uint8_t* data, uint32_t n, uint32_t& got) override {
            return t.timed(Read, [&] { return p->read(data, n, got); });
        }
        FT_STATUS purge(bool rx, bool tx) override { return t.timed(Close, [&] { return p->purge(rx, tx); }); }
        FT_STATUS queues(uint32_t& rx, uint32_t& tx) override { return t.timed(Wait, [&] { return p->queues(rx, tx); }); }
        void waitForData(int ms) override {
            t.timed(Wait, [&] {
                p->waitForData(ms);
                return FT_STATUS(FT_OK);
            });
        }
        void noteLateReply(int ms) override { p->noteLateReply(ms); }

    private:
        std::unique_ptr<serialport::Port> p;
        TimedBackend& t;
    };

    template <typename F>
    FT_STATUS timed(Kind kind, F call) {
        Clock::time_point start = Clock::now();
        FT_STATUS status = call();
        seconds[kind] += std::chrono::duration<double>(Clock::now() - start).count();
        return status;
    }
    serialport::Backend& inner;
};

}  // namespace

int main(int argc, char** argv) {
    long pages = 1024;
    bool instant = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--instant")
            instant = true;
        else
            pages = std::atol(argv[i]);
    }
    if (pages <= 0 || pages > 1024) pages = 1024;

    testpedal::PedalFolder folder;
    testpedal::PedalOptions options;
    options.serial = "BENCHFW1";
    options.updateMode = true;
    options.wireSpeed = !instant;
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

    firmware::PedalPageLink link(usb.link);
    TimedBackend timing;
    auto start = Clock::now();
    firmware::Outcome outcome = opened ? firmware::sendFirmware(link, payload, 0x24, nullptr) : firmware::Outcome();
    auto end = Clock::now();
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
    const char* names[] = {"open", "write", "wait for echo", "read", "close"};
    double counted = 0;
    std::printf("per page:");
    for (int k = 0; k < TimedBackend::Kinds; ++k) {
        counted += timing.seconds[k];
        std::printf(" %s %.2f ms,", names[k], timing.seconds[k] * 1e3 / static_cast<double>(pages));
    }
    std::printf(" rest %.2f ms\n", (seconds - counted) * 1e3 / static_cast<double>(pages));
    return instant || ratio < 1.3 ? 0 : 1;
}
