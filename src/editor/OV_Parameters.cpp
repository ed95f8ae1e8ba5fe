#include "editor/OV_Parameters.h"

// Placeholder until the Dashboard issue fills the panel.
static const uint8_t placeholderBlock[12] = {0x21, 3, 23, 31, 31, 200, 200, 0, 100, 125, 50, 50};
static const uint8_t placeholderImage[512] = {};

OV_Parameters::OV_Parameters(int x, int y, int w, int h, const char* label)
    : Fl_Group(x, y, w, h, label), engine(nullptr), coreFilesOk(1), live(1), globalConfig(0x0F),
      stereoMode(0) {
    end();
}
OV_Parameters::~OV_Parameters() {}
void OV_Parameters::apply(const uint8_t*) {}
void OV_Parameters::selectSpeakers(int, int) {}
const uint8_t* OV_Parameters::params() const { return placeholderBlock; }
const uint8_t* OV_Parameters::image() const { return placeholderImage; }
bool OV_Parameters::leftSoloOn() const { return false; }
bool OV_Parameters::rightSoloOn() const { return false; }
int OV_Parameters::savedSpeaker(int side) const { return side ? 23 : 3; }
