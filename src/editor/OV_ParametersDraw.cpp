// The Dashboard's fixed drawing: labels, scales, ticks and dividers around
// the controls, the mode-specific texts and pictures, and the solo marks.
#include "editor/OV_Parameters.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/fl_draw.H>

namespace {

const Fl_Color brown = 0x48371c00;
const Fl_Color scaleGrey = fl_rgb_color(0x5f, 0x5f, 0x5f);

void tick(int x, int y) {
    fl_color(fl_rgb_color(128, 128, 128));
    fl_rectf(x, y, 2, 10);
}

void divider(int x, int y, int h) {
    fl_color(fl_rgb_color(120, 120, 120));
    fl_rectf(x, y, 2, h);
}

void text(const char* s, int x, int y) { fl_draw(s, x, y); }

// The explanation under the delay controls, one per delay mode.
const char* const delayModeText[2] = {
    "( Delay as Stereo Enhancer : slight delay on one channel widens the apparent stereo image )",
    "( Delay as Notcher/Doubler : work together with Blend control to create spectral notches or doubling effect )"};

void notApplicable(int x) {
    fl_font(FL_HELVETICA_ITALIC, 12);
    fl_color(scaleGrey);
    fl_draw("< not applicable to Gears or Misc speakers >", x, 128);
}

}  // namespace

void OV_Parameters::draw() {
    Fl_Group::draw();
    for (int x : {167, 663}) {
        tick(x, 378);
        tick(x, 430);
    }
    fl_font(FL_HELVETICA, 12);
    fl_color(scaleGrey);
    text("-1             < Mute >          +1", 95, 459);
    text("-1             < Mute >          +1", 592, 459);
    fl_font(FL_HELVETICA, 13);
    fl_color(brown);
    text("Edge                                  Center", 185, 259);
    fl_font(FL_HELVETICA_BOLD, 13);
    fl_color(FL_FOREGROUND_COLOR);
    text("CABINET TYPE ", 15, 129);
    text("MIC", 140, 250);
    text("BLEND", 15, 389);
    text("BLEND", 767, 389);
    text("VOLUME", 15, 440);
    text("VOLUME", 758, 440);
    text("/ PHASE", 15, 457);
    text("/ PHASE", 761, 457);

    if (stereoMode) drawMicsMode(); else drawCabsMode();
    if (speakerNumber(0) > 60) notApplicable(129);
}

void OV_Parameters::drawMicsMode() {
    if (micLeftImage->w() > 0) micLeftImage->draw(30, 160);
    if (micRightImage->w() > 0) micRightImage->draw(755, 160);
    fl_font(FL_HELVETICA_BOLD, 13);
    fl_color(FL_FOREGROUND_COLOR);
    text("SIZE", 440, 163);
    text("TIME", 440, 193);
    text("DEPTH", 440, 234);
    text("COLOR", 440, 290);
    fl_font(FL_HELVETICA, 14);
    text("Room Characteristics", 577, 130);
    fl_font(FL_HELVETICA_BOLD, 14);
    text("C", 90, 198);
    text("L", 91, 218);
    text("O", 90, 238);
    text("S", 90, 260);
    text("E", 90, 282);
    text("R", 735, 200);
    text("O", 735, 225);
    text("O", 735, 250);
    text("M", 734, 275);
    fl_font(FL_HELVETICA, 12);
    text("L-Out =           % Close Mic", 255, 386);
    text("% Room Mic", 327, 406);
    text("R-Out =           % Close Mic", 430, 386);
    text("% Room Mic", 505, 406);
    fl_color(fl_color_average(FL_DARK3, FL_WHITE, 0.67f));
    text("E.Reflection                     Reverb Tail", 487, 255);
    text("(Lively)  I              II           III          IV  (Warm)", 472, 311);
    text("Close                        Room ", 96, 406);
    text("Close                        Room ", 594, 406);
    fl_color(fl_rgb_color(220, 220, 220));
    fl_rect(430, 137, 285, 188);
    tick(584, 224);
    tick(564, 280);
    tick(604, 280);
    divider(413, 330, 148);
}

void OV_Parameters::drawCabsMode() {
    fl_font(FL_HELVETICA_BOLD, 13);
    fl_color(FL_FOREGROUND_COLOR);
    text("CABINET TYPE ", 720, 129);
    text("DELAY", 15, 299);
    text("MIC", 660, 250);
    fl_font(FL_HELVETICA, 13);
    fl_color(brown);
    text("Edge                                  Center", 441, 259);
    fl_font(FL_HELVETICA, 12);
    fl_color(FL_FOREGROUND_COLOR);
    text("L-Out =           % L-Speaker", 255, 386);
    text("% R-Speaker", 327, 406);
    text("R-Out =           % L-Speaker", 430, 386);
    text("% R-Speaker", 505, 406);
    fl_color(scaleGrey);
    if (ultraShortCheck->value())
        text("ms   1.0                                           0                                           1.0   ms", 238, 323);
    else
        text("ms   125                                          0                                         125   ms", 238, 323);
    tick(414, 293);
    divider(413, 120, 150);
    divider(413, 360, 118);
    fl_font(FL_HELVETICA, 14);
    fl_color(FL_FOREGROUND_COLOR);
    if (delayModeChoice->value() == 1)
        text(delayModeText[1], 60, 340);
    else
        text(delayModeText[0], 120, 340);
    if (leftSoloOn()) drawSoloMarks(0);
    if (rightSoloOn()) drawSoloMarks(1);
    if (speakerNumber(1) > 60) notApplicable(438);
}

// Red corner brackets around the soloed speaker, the veil over the muted
// half, and SOLO lettered down the soloed side's edge.
void OV_Parameters::drawSoloMarks(int side) {
    fl_color(FL_RED);
    int left = side ? 429 : 154, right = side ? 670 : 395;
    fl_rectf(left, 107, 2, 10);
    fl_rectf(left, 262, 2, 10);
    fl_rectf(right, 107, 2, 10);
    fl_rectf(right - 1, 262, 2, 10);
    fl_rectf(left, 107, 10, 2);
    fl_rectf(left, 272, 10, 2);
    fl_rectf(right - 10, 107, 10, 2);
    fl_rectf(right - 10, 272, 10, 2);
    if (speakerMaskImage->w() > 0) {
        if (side) speakerMaskImage->draw(153, 107, 249, 165);
        else speakerMaskImage->draw(427, 107, 248, 165);
    }
    // The veil reaches into the muted side's "MIC" label: that label goes on top.
    fl_font(FL_HELVETICA_BOLD, 13);
    fl_color(FL_FOREGROUND_COLOR);
    text("MIC", side ? 140 : 660, 250);
    int x = side ? 798 : 20;
    fl_font(FL_HELVETICA_BOLD, 14);
    text("S", x, 173);
    text("O", x, 191);
    text("L", x + 1, 209);
    text("O", x, 227);
}
