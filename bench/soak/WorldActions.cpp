// The world's actions: faults on the wire, cut cables, lost power, a second
// pedal and other people's changes to the offered files.
#include "bench/soak/SessionInternal.h"

#include <algorithm>

namespace soak {

void Session::world(const Action& x, Step&) {
    testpedal::VirtualPedal* p = pedal(x.c) ? pedal(x.c) : pedal(0);
    switch (x.op) {
    case Op::Fault:
        if (p) p->setFaults(x.text.empty() ? std::vector<std::string>{} : std::vector<std::string>{x.text});
        break;
    case Op::Unplug: if (p) p->unplug(); break;
    case Op::Replug:
        if (p) {
            p->setFaults({});
            p->plugIn();
        }
        break;
    case Op::KillPedal:
        if (p) {
            std::string error;
            p->crash();
            p->start(&error);
        }
        break;
    case Op::Corrupt: {
        std::string path = file(x.text), bytes = fromFile(path);
        if (x.a % 3 == 0) bytes.resize(std::min(bytes.size(), static_cast<size_t>(x.a % 150)));
        else if (x.a % 3 == 1 && !bytes.empty()) bytes[x.a % bytes.size()] ^= 0x5A;
        else bytes = licenceText();
        gui::TestEnvironment::writeFile(path, bytes);   // through a link, to its target, as an editor would
        break;
    }
    case Op::SecondPedal:
        if (!pedals_[1]) {
            testpedal::PedalOptions b;
            b.serial = "SOAKB02";
            b.factory = factory_;
            b.updateMode = x.b == 1;
            pedals_[1].reset(new testpedal::VirtualPedal(*folder_, b));
            std::string error;
            pedals_[1]->start(&error);
        }
        break;
    default: break;
    }
}

}  // namespace soak
