// Replies from the device through the fake backend: the first byte picks the
// request (read all, read a preset, a one-byte query), the second the faults
// of the layer below (read, write or purge failing, reads cut short), the
// rest is what the pedal answers. An answer shorter than the request waits
// for the time-out, which other tests cover, so it is padded with zeros.
// A request succeeds exactly when no fault touched it, the caller then gets
// the answer's first bytes, a failure has a code and a text, and the device
// is always closed afterwards.
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

#include "tests/support/link/FakeBackend.h"
#include "link/PedalLink.h"
#include "link/Protocol.h"

namespace {

struct Link {
    serialport::FakeBackend fake;
    serialport::ScopedBackend scope{fake};
    PedalLink usb;
    Link() {
        fake.devices = {{"Kestrova Drevani", "FZ000001"}};
        usb.setSink(PedalLink::quiet());
        for (int i = 0; i < protocol::PresetSlots; ++i) usb.presetAddress[i] = protocol::readPresetCommand(i);
        usb.selectSerial("FZ000001");
        usb.deviceCount = 1;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    Link link;      // a fresh pedal and link: nothing carries over between inputs
    serialport::FakeBackend& fake = link.fake;
    PedalLink& usb = link.usb;
    const uint8_t request = data[0] % 3, faults = data[1], limit = data[2];
    const uint32_t wanted = request == 0 ? protocol::BankSize : request == 1 ? protocol::PresetReplySize : 1;
    serialport::FakeBackend::Bytes answer(data + 3, data + size);
    if (answer.size() < wanted) answer.resize(wanted, 0);

    fake.readStatus = faults & 1 ? FT_IO_ERROR : FT_OK;
    fake.writeStatus = faults & 2 ? FT_IO_ERROR : FT_OK;
    fake.purgeStatus = faults & 4 ? FT_IO_ERROR : FT_OK;
    fake.readLimit = faults & 8 ? limit : -1;
    fake.responder = [&answer](const serialport::FakeBackend::Bytes&) { return answer; };

    LinkResult result = request == 0 ? usb.readAll() : request == 1 ? usb.readPreset(limit % 8) : usb.getOneByte(0x50);
    const bool ok = result.ok();
    FUZZ_CHECK(ok == result.text.empty());
    const bool clean = !(faults & 7) && (!(faults & 8) || limit >= wanted);
    FUZZ_CHECK(ok == clean);
    if (ok) FUZZ_CHECK(std::memcmp(usb.reply(), answer.data(), wanted) == 0);
    FUZZ_CHECK(fake.openCount() == 0);
    if (!(faults & 2)) {
        FUZZ_CHECK(fake.writes.size() == 1 && fake.writes[0].size() == 1);
        const uint8_t sent = fake.writes[0][0];
        FUZZ_CHECK(sent == (request == 0 ? 0x40 : request == 1 ? usb.presetAddress[limit % 8] : 0x50));
    }
    return 0;
}
