// End to end: a Dashboard change reaches a virtual pedal as the very image
// the sound model computed, through the link's preview write.
#include "tests/editor/DashboardFixture.h"

#include <FL/Fl_Button.H>
#include <unistd.h>

#include "tests/editor/EventSim.h"
#include "tests/support/pedal/TestPedal.h"
#include "editor/Slider.h"
#include "link/OV_UsbController.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace {

struct PreviewLink {
    OV_UsbController* usb;
    std::vector<int> results;
};

void send_cb(Fl_Widget* w, void* data) {
    PreviewLink* link = static_cast<PreviewLink*>(data);
    link->results.push_back(link->usb->writePreview(static_cast<OV_Parameters*>(w)->image()));
}

// The pedal logs a preview (which has no reply) a moment after it has
// taken it: poll the log until the expected number shows up. The limit only
// bounds a failing run; a busy machine must not fail a passing one.
std::vector<std::vector<uint8_t>> previewsReceived(const testpedal::VirtualPedal& pedal, size_t expected,
                                                   int timeoutMs = 20000) {
    std::vector<std::vector<uint8_t>> out;
    for (int waited = 0;; waited += 20) {
        out.clear();
        for (const testpedal::LoggedCommand& c : pedal.commands())
            if (c.name == "preview") out.push_back(c.bytes);
        if (out.size() >= expected || waited >= timeoutMs) break;
        usleep(20 * 1000);
    }
    return out;
}

}  // namespace

class DashboardOnPedal : public dashtest::Dashboard {};

TEST_F(DashboardOnPedal, VolumeReleaseSendsTheEnginesImageToThePedal) {
    testpedal::PedalFolder folder;
    testpedal::VirtualPedal pedal(folder);
    std::string error;
    ASSERT_TRUE(pedal.start(&error)) << error;
    OV_UsbController usb(0, 0, 10, 10);
    ASSERT_TRUE(usb.openByDescription());
    PreviewLink link{&usb, {}};
    dash->callback(send_cb, &link);

    Slider* s = dash->leftVolumeSlider;
    sim::drag(s, s->x() + s->w() - 8, s->x() + s->w() / 2, s->y() + 8);
    ASSERT_EQ(link.results, std::vector<int>{0});
    SoundModel reference(dashtest::makeBinFolder());
    reference.setVolume(LeftSide, dash->params()[Volume_L]);
    std::vector<uint8_t> expected(reference.image(), reference.image() + 512);
    EXPECT_EQ(std::vector<uint8_t>(dash->image(), dash->image() + 512), expected);

    auto received = previewsReceived(pedal, 1);
    ASSERT_EQ(received.size(), 1u);
    // The pedal logs what it received: the raw image, perhaps after the command byte.
    ASSERT_GE(received[0].size(), 512u);
    EXPECT_EQ(std::vector<uint8_t>(received[0].end() - 512, received[0].end()), expected);

    // A switch that is already on sends nothing more: nothing goes through
    // the link, and the pedal has heard just the one preview.
    sim::send(dash->stereoCabsButton, FL_PUSH, 100, 80);
    sim::send(dash->stereoCabsButton, FL_RELEASE, 100, 80);
    EXPECT_EQ(link.results.size(), 1u);
    EXPECT_EQ(previewsReceived(pedal, 2, 300).size(), 1u);
    pedal.stop();
}
