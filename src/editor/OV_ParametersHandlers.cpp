// The Dashboard's control handlers: keep the controls' read-outs and the
// parameter block in step while a control moves, hand the completed change
// to the sound model, and preview it when the model says it is audible.
#include "editor/OV_Parameters.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Float_Input.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Window.H>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "editor/Slider.h"
#include "editor/Thumbwheel.h"
#include "base/dialogs.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace {

const char* const tipsText =
    "Tips on using Delay as Notcher / Doubler :\n"
    "\n"
    " 1. Use short delay time (< 10 ms) to generate notches on the frequency response.\n"
    "\n"
    " 2. Use longer delay time to create doubler effect.\n"
    "\n"
    " 3. Use the Blend control the intensity of the effect.\n"
    "     - The effect is most pronounced when Blend control is set at midpoint.\n"
    "     - The effect dissappears when Blend control is set at the endpoints";

Side sideOf(int side) { return side ? RightSide : LeftSide; }

// Whole text as a number; text that is not a number reads as 0.
long parseInt(const char* text) { return text ? strtol(text, nullptr, 10) : 0; }
double parseDecimal(const char* text) { return text ? strtod(text, nullptr) : 0.0; }

// Integer position of a valuator; the positions are whole steps, rounding
// guards against binary fractions (0.57 * 100 is 56.999...).
int whole(double value) { return int(std::lround(value)); }

void setNumber(Fl_Input* field, const char* format, double value) {
    char text[32];
    snprintf(text, sizeof text, format, value);
    field->value(text);
}
void setInteger(Fl_Input* field, long value) {
    char text[32];
    snprintf(text, sizeof text, "%ld", value);
    field->value(text);
}

void showIf(Fl_Widget* w, bool shown) {
    if (shown) {
        w->show();
        w->activate();
    } else {
        w->hide();
        w->deactivate();
    }
}

}  // namespace

// Sliders, check boxes, read-outs and speaker faces without a box of their
// own, and the texts and veil drawn on the panel, would leave what they drew
// before: a change has the window redraw the panel's area from the
// background up, as the toolkit does for the label of a boxless widget.
void OV_Parameters::repaint() {
    if (Fl_Window* win = window())
        win->damage(FL_DAMAGE_ALL, x(), y(), w(), h());
    else
        redraw();
}

void OV_Parameters::previewIf(bool changed) {
    if (changed && live) do_callback();
}

// ---- read-outs ----

void OV_Parameters::refreshMicReadouts(int side) {
    char(&text)[2][8] = micText[side];
    double m = micWheel(side)->value();
    snprintf(text[0], sizeof text[0], "%3.0f%%", (62 - m) / 62 * 100);
    snprintf(text[1], sizeof text[1], "%3.0f%%", m / 62 * 100);
    Fl_Box* edge = side ? rightMicEdgeBox : leftMicEdgeBox;
    Fl_Box* center = side ? rightMicCenterBox : leftMicCenterBox;
    edge->label(text[0]);
    center->label(text[1]);
    edge->redraw_label();
    center->redraw_label();
}

void OV_Parameters::refreshBlendReadouts(int side) {
    int b = whole(blendSlider(side)->value());
    setInteger(side ? rightOutRightInput : leftOutRightInput, b);
    setInteger(side ? rightOutLeftInput : leftOutLeftInput, 100 - b);
}

void OV_Parameters::refreshVolumeReadout(int side) {
    setNumber(volumeInput(side), "%2.1f", (whole(volumeSlider(side)->value()) - 100) / 100.0);
}

void OV_Parameters::refreshDelayReadouts() {
    int d = whole(delaySlider->value());
    if (ultraShortCheck->value()) {
        leftDelayFineInput->value("0.0");
        rightDelayFineInput->value("0.0");
        if (d < 50) setNumber(leftDelayFineInput, "%3.2f", (50 - d) / 50.0);
        if (d > 50) setNumber(rightDelayFineInput, "%3.2f", (d - 50) / 50.0);
    } else {
        leftDelayInput->value("0");
        rightDelayInput->value("0");
        if (d < 125) setInteger(leftDelayInput, 125 - d);
        if (d > 125) setInteger(rightDelayInput, d - 125);
    }
}

// ---- valuators: read-outs and byte while moving, commit at the release ----

void OV_Parameters::micWheelMoved(int side) {
    repaint();
    Thumbwheel* wheel = micWheel(side);
    int m = whole(wheel->value());
    model->params()[Mic_L + side] = uint8_t(m);
    refreshMicReadouts(side);
    if (!wheel->released) return;
    wheel->released = 0;
    previewIf(model->setMic(sideOf(side), m));
}

void OV_Parameters::blendMoved(int side) {
    repaint();
    Slider* s = blendSlider(side);
    int b = whole(s->value());
    model->params()[Blend_L + side] = uint8_t(b);
    refreshBlendReadouts(side);
    if (!s->released) return;
    s->released = 0;
    previewIf(model->setBlend(sideOf(side), b));
}

void OV_Parameters::volumeMoved(int side) {
    repaint();
    Slider* s = volumeSlider(side);
    int v = whole(s->value());
    model->params()[Volume_L + side] = uint8_t(v);
    refreshVolumeReadout(side);
    if (!s->released) return;
    s->released = 0;
    previewIf(model->setVolume(sideOf(side), v));
}

void OV_Parameters::delayMoved() {
    repaint();
    int d = whole(delaySlider->value());
    model->params()[Delay] = uint8_t(d);
    refreshDelayReadouts();
    if (!delaySlider->released) return;
    delaySlider->released = 0;
    previewIf(model->setDelay(d));
}

void OV_Parameters::timeMoved() {
    repaint();
    int t = whole(timeSlider->value() * 100);
    model->params()[Time] = uint8_t(t);
    setInteger(timeInput, t);
    if (!timeSlider->released) return;
    timeSlider->released = 0;
    previewIf(model->setTime(t));
}

void OV_Parameters::depthMoved() {
    repaint();
    int p = whole(depthSlider->value());
    model->params()[Depth] = uint8_t(p);
    setInteger(depthInput, p);
    if (!depthSlider->released) return;
    depthSlider->released = 0;
    previewIf(model->setDepth(p));
}

void OV_Parameters::colorMoved() {
    repaint();
    int c = whole(colorSlider->value());
    uint8_t& flags = model->params()[Flags];
    flags = uint8_t((flags & ~FlagColorMask) | (c & FlagColorMask));
    if (!colorSlider->released) return;
    colorSlider->released = 0;
    previewIf(model->setColor(c));
}

// ---- entry fields: parse, clamp, follow with slider and partner, commit ----

void OV_Parameters::blendTyped(int side, bool outLeftField) {
    repaint();
    Fl_Int_Input* outLeft = side ? rightOutLeftInput : leftOutLeftInput;
    Fl_Int_Input* outRight = side ? rightOutRightInput : leftOutRightInput;
    Fl_Int_Input* field = outLeftField ? outLeft : outRight;
    long n = parseInt(field->value());
    if (n > 100) n = 100;
    if (n < 0) n = 0;
    int b = int(outLeftField ? 100 - n : n);
    blendSlider(side)->value(b);
    setInteger(field, n);
    setInteger(outLeftField ? outRight : outLeft, outLeftField ? b : 100 - b);
    model->params()[Blend_L + side] = uint8_t(b);
    previewIf(model->setBlend(sideOf(side), b));
}

void OV_Parameters::volumeTyped(int side) {
    repaint();
    Fl_Input* field = volumeInput(side);
    double x = parseDecimal(field->value());
    if (std::isnan(x)) x = 0;       // "nan" is no number either
    if (x > 1.0) x = 1.0;
    if (x < -1.0) x = -1.0;
    setNumber(field, "%2.1f", x);
    int v = int(std::floor(x * 100 + 100 + 1e-9));
    volumeSlider(side)->value(v);
    model->params()[Volume_L + side] = uint8_t(v);
    previewIf(model->setVolume(sideOf(side), v));
}

void OV_Parameters::delayTyped(int side) {
    repaint();
    Fl_Int_Input* field = side ? rightDelayInput : leftDelayInput;
    long n = parseInt(field->value());
    if (n > 125) n = 125;
    if (n < 0) n = 0;
    int d = int(side ? 125 + n : 125 - n);
    delaySlider->value(d);
    model->params()[Delay] = uint8_t(d);
    refreshDelayReadouts();
    previewIf(model->setDelay(d));
}

void OV_Parameters::delayFineTyped(int side) {
    repaint();
    Fl_Float_Input* field = side ? rightDelayFineInput : leftDelayFineInput;
    Fl_Float_Input* partner = side ? leftDelayFineInput : rightDelayFineInput;
    const char* text = field->value();
    char* end = nullptr;
    double x = text ? strtod(text, &end) : 0.0;
    // A typed value in range stays as typed; one out of range, or text that
    // is no number, is replaced by the value used.
    if (end == text || std::isnan(x) || x < 0) {
        x = 0;
        field->value("0.0");
    } else if (x > 1.0) {
        x = 1.0;
        field->value("1.0");
    }
    partner->value("0.0");
    // The slider moves in whole samples: the integer part of 50 -/+ 50x.
    int d = int(std::floor((side ? 50 + 50 * x : 50 - 50 * x) + 1e-9));
    delaySlider->value(d);
    model->params()[Delay] = uint8_t(d);
    previewIf(model->setDelay(d));
}

void OV_Parameters::timeTyped() {
    repaint();
    long n = parseInt(timeInput->value());
    if (n > 100) n = 100;
    if (n < 0) n = 0;
    setInteger(timeInput, n);
    timeSlider->value(n / 100.0);
    model->params()[Time] = uint8_t(n);
    previewIf(model->setTime(int(n)));
}

void OV_Parameters::depthTyped() {
    repaint();
    long n = parseInt(depthInput->value());
    if (n > 100) n = 100;
    if (n < 0) n = 0;
    setInteger(depthInput, n);
    depthSlider->value(n);
    model->params()[Depth] = uint8_t(n);
    previewIf(model->setDepth(int(n)));
}

// ---- speakers, cabinet, solo ----

void OV_Parameters::categoryPressed(int side, int category) {
    Fl_Button** buttons = categoryButtons(side);
    for (int c = 0; c < CategoryCount; c++) buttons[c]->value(c == category);
    Fl_Choice* choice = speakerChoice(side);
    speakers::fillMenu(*choice, SpeakerCategory(category));
    categoryBase(side) = ::categoryBase(SpeakerCategory(category));
    choice->value(categoryMemory(side)[category]);
    speakerChosen(side);
}

void OV_Parameters::speakerChosen(int side) {
    SpeakerCategory category = speakerCategory(categoryBase(side) + 1);
    int pos = speakerChoice(side)->value();
    if (pos < 0) return;    // nothing chosen
    categoryMemory(side)[category] = pos;
    int number = categoryBase(side) + pos;

    showCabinetChecks(side, speakerHasCabinet(number) && (side == 0 || stereoMode == 0));
    bool changed = model->loadSpeaker(sideOf(side), number);
    // "Full Range Speaker" has no microphone tone: the model flattens it and
    // the wheel rests, also when a block is applied.
    Thumbwheel* wheel = micWheel(side);
    if (!model->micWheelEnabled(sideOf(side))) {
        wheel->deactivate();
    } else if (side == 0 || stereoMode == 0) {
        wheel->activate();
        if (live) wheel->do_callback();
    }
    repaint();  // the "not applicable" note follows the number
    previewIf(changed);
}

void OV_Parameters::showCabinetChecks(int side, bool shown) {
    showIf(sealedCheck(side), shown);
    showIf(openCheck(side), shown);
}

void OV_Parameters::cabinetPressed(int side, bool opened) {
    repaint();
    Fl_Check_Button* pressed = opened ? openCheck(side) : sealedCheck(side);
    Fl_Check_Button* partner = opened ? sealedCheck(side) : openCheck(side);
    if (pressed->value()) return;
    pressed->value(1);
    partner->value(0);
    previewIf(model->setCabinet(sideOf(side), opened));
}

void OV_Parameters::setSpeakerFaces() {
    for (int side = 0; side < 2; side++) {
        bool mine = model->solo(sideOf(side)), other = model->solo(sideOf(1 - side));
        Fl_Button* b = speakerButton(side);
        b->value(mine);
        b->image(mine ? speakerOnSoloImage : other ? speakerOffImage : speakerOnImage);
        b->align(FL_ALIGN_IMAGE_BACKDROP);
        b->redraw();
    }
}

void OV_Parameters::soloPressed(int side) {
    bool on = speakerButton(side)->value();
    bool changed = model->setSolo(sideOf(side), on);
    setSpeakerFaces();
    repaint();  // brackets, mask and lettering
    previewIf(changed);
}

// Ends an active solo (left tested first) without previewing.
void OV_Parameters::endSolo(int side) {
    model->setSolo(sideOf(side), false);
    setSpeakerFaces();
    repaint();
}

// ---- mode, delay, room ----

void OV_Parameters::showModeControls() {
    bool cabs = stereoMode == 0;
    showIf(rightSpeakerButton, cabs);
    showIf(leftSpeakerButton, cabs);
    for (Fl_Button* b : rightCategoryButtons) showIf(b, cabs);
    showIf(rightSpeakerChoice, cabs);
    showIf(rightMicWheel, cabs);
    if (!model->micWheelEnabled(RightSide)) rightMicWheel->deactivate();
    showCabinetChecks(1, cabs && rightCategoryBase <= 40);
    showIf(ultraShortCheck, cabs);
    showIf(delayModeChoice, cabs);
    for (Fl_Widget* w : {static_cast<Fl_Widget*>(delaySlider), static_cast<Fl_Widget*>(rightMicEdgeBox),
                         static_cast<Fl_Widget*>(rightMicCenterBox)}) {
        if (cabs) w->show(); else w->hide();
    }
    showDelayFields();
    for (Fl_Widget* w : {static_cast<Fl_Widget*>(smallRoomCheck), static_cast<Fl_Widget*>(mediumRoomCheck),
                         static_cast<Fl_Widget*>(timeSlider), static_cast<Fl_Widget*>(depthSlider),
                         static_cast<Fl_Widget*>(colorSlider), static_cast<Fl_Widget*>(timeInput),
                         static_cast<Fl_Widget*>(depthInput)})
        showIf(w, !cabs);
}

// The delay read-outs of the Stereo Cabs mode: whole milliseconds, or
// fractions of one with Ultra-short on.
void OV_Parameters::showDelayFields() {
    bool cabs = stereoMode == 0;
    bool ultra = ultraShortCheck->value();
    showIf(leftDelayInput, cabs && !ultra);
    showIf(rightDelayInput, cabs && !ultra);
    showIf(leftDelayFineInput, cabs && ultra);
    showIf(rightDelayFineInput, cabs && ultra);
}

void OV_Parameters::modePressed(int stereoMics) {
    Fl_Button* pressed = stereoMics ? stereoMicsButton : stereoCabsButton;
    if (pressed->value()) return;
    showMode(stereoMics, model->setMode(stereoMics));
}

// Puts the controls of the mode the model has just entered on the panel.
void OV_Parameters::showMode(int stereoMics, bool changed) {
    stereoMicsButton->value(stereoMics);
    stereoCabsButton->value(!stereoMics);
    stereoMode = stereoMics;
    // Each mode comes back with its own blends.
    for (int side = 0; side < 2; side++) {
        blendSlider(side)->value(model->params()[Blend_L + side]);
        refreshBlendReadouts(side);
    }
    showModeControls();
    setSpeakerFaces();
    repaint();
    previewIf(changed);
}

void OV_Parameters::delayModeChosen() {
    model->setLive(false);
    live = 0;
    int item = delayModeChoice->value() == 1 ? 1 : 0;
    // The model recommits blends, volumes and delay, whose words move with
    // the variant; the whole change is previewed once.
    model->setDelayVariant(item);
    if (item) tipsButton->show(); else tipsButton->hide();
    for (int side = 0; side < 2; side++) {
        refreshBlendReadouts(side);
        refreshVolumeReadout(side);
    }
    refreshDelayReadouts();
    do_callback();
    model->setLive(true);
    live = 1;
    repaint();
}

void OV_Parameters::ultraShortToggled() {
    bool on = ultraShortCheck->value();
    bool changed = model->setUltraShort(on);     // rescales the Delay byte
    delaySlider->bounds(0, on ? 100 : 250);
    delaySlider->value(model->params()[Delay]);
    showDelayFields();
    delaySlider->released = 0;
    delaySlider->do_callback();
    repaint();  // the delay scale
    previewIf(changed);
}

void OV_Parameters::roomSizePressed(int medium) {
    repaint();
    Fl_Check_Button* pressed = medium ? mediumRoomCheck : smallRoomCheck;
    Fl_Check_Button* partner = medium ? smallRoomCheck : mediumRoomCheck;
    if (pressed->value()) return;
    pressed->value(1);
    partner->value(0);
    previewIf(model->setRoomSize(medium));
}

void OV_Parameters::tipsPressed() { dialogs::message("%s", tipsText); }

// ---- whole-panel operations ----

// The tone chart's audition. The saved speakers stay the user's choice, so
// that ending an audition brings back what was chosen before it began.
void OV_Parameters::selectSpeakers(int left, int right, int soloSide) {
    const int kept[2] = {savedSpeaker(0), savedSpeaker(1)};
    model->setLive(false);
    live = 0;
    if (model->solo(LeftSide)) endSolo(0);
    else if (model->solo(RightSide)) endSolo(1);
    int numbers[2] = {selectableSpeakerOr(left & 0xFF, 0), selectableSpeakerOr(right & 0xFF, 1)};
    model->params()[Speaker_R] = uint8_t(numbers[1]);
    model->params()[Speaker_L] = uint8_t(numbers[0]);
    for (int side = 0; side < 2; side++) selectSpeaker(side, numbers[side]);
    if (soloSide == 0 || soloSide == 1) {
        model->setSolo(sideOf(soloSide), true);    // refused in Stereo Mics, which has none
        setSpeakerFaces();
        repaint();
    }
    model->restoreSavedSpeaker(LeftSide, kept[0]);
    model->restoreSavedSpeaker(RightSide, kept[1]);
    do_callback();
    model->setLive(true);
    live = 1;
}

// Shows the number's category on the side and loads the speaker through the
// category handler, as a click on that category would.
void OV_Parameters::selectSpeaker(int side, int number) {
    SpeakerCategory category = speakerCategory(number);
    categoryMemory(side)[category] = number - ::categoryBase(category);
    categoryPressed(side, category);
}

void OV_Parameters::apply(const uint8_t* block) {
    // The model clamps the copy (a damaged block still gives a sound the
    // controls can show), ends a Solo and holds previews back.
    model->beginApply(block);
    live = 0;
    setSpeakerFaces();
    uint8_t b[ParamCount];
    memcpy(b, model->params(), ParamCount);

    for (int side = 0; side < 2; side++) selectSpeaker(side, b[Speaker_L + side]);
    bool leftOpen = b[Flags] & FlagLeftOpen, rightOpen = b[Flags] & FlagRightOpen;
    leftOpenCheck->value(leftOpen);
    leftSealedCheck->value(!leftOpen);
    rightOpenCheck->value(rightOpen);
    rightSealedCheck->value(!rightOpen);
    int medium = (b[Flags] & FlagRoomMedium) ? 1 : 0;
    smallRoomCheck->value(0);
    mediumRoomCheck->value(0);
    roomSizePressed(medium);

    int variant = (b[Flags] & FlagNotcher) ? 1 : 0;
    delayModeChoice->value(variant);
    model->exchangeDelayWords(variant);
    if (variant) tipsButton->show(); else tipsButton->hide();

    bool ultra = b[Flags] & FlagUltraShort;
    ultraShortCheck->value(ultra);
    delaySlider->bounds(0, ultra ? 100 : 250);
    delaySlider->value(b[Delay]);
    int stereoMics = (b[Flags] & FlagStereoMics) ? 1 : 0;
    model->recordMode(stereoMics);

    // Every valuator commits its byte, in the model's order.
    colorSlider->value(b[Flags] & FlagColorMask);
    colorSlider->released = 1;
    colorMoved();
    for (int side = 0; side < 2; side++) {
        micWheel(side)->value(b[Mic_L + side]);
        micWheel(side)->released = 1;
        micWheelMoved(side);
    }
    for (int side = 0; side < 2; side++) {
        volumeSlider(side)->value(b[Volume_L + side]);
        volumeSlider(side)->released = 1;
        volumeMoved(side);
    }
    for (int side = 0; side < 2; side++) {
        blendSlider(side)->value(b[Blend_L + side]);
        blendSlider(side)->released = 1;
        blendMoved(side);
    }
    delaySlider->released = 1;
    delayMoved();
    timeSlider->value(b[Time] / 100.0);
    timeSlider->released = 1;
    timeMoved();
    depthSlider->value(b[Depth]);
    depthSlider->released = 1;
    depthMoved();
    printf("_Params[Volume_L] = %d\n", model->params()[Volume_L]);
    printf("_Params[Volume_R] = %d\n", model->params()[Volume_R]);

    // The whole mode core goes into the image, whatever mode was shown.
    showMode(stereoMics, model->enterMode(stereoMics));
    model->endApply();
    live = model->live() ? 1 : 0;
}
