#include "editor/OV_Parameters.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Float_Input.H>
#include <FL/Fl_Int_Input.H>
#include <FL/Fl_PNG_Image.H>

#include <cstdio>

#include "editor/Slider.h"
#include "editor/Thumbwheel.h"
#include "sound/SoundModel.h"

using namespace sound;

namespace {

const Fl_Color teal = 0x244f5500;
const Fl_Color cream = 0xfdfceb00;
const Fl_Color brown = 0x48371c00;
const Fl_Color paleGreen = 0xccffcc00;

OV_Parameters* panel(void* data) { return static_cast<OV_Parameters*>(data); }

// Callbacks: each hands the event to one handler of the panel.
void noPreview_cb(Fl_Widget*, void*) {}
void stereoCabs_cb(Fl_Widget*, void* d) { panel(d)->modePressed(0); }
void stereoMics_cb(Fl_Widget*, void* d) { panel(d)->modePressed(1); }
void leftSolo_cb(Fl_Widget*, void* d) { panel(d)->soloPressed(0); }
void rightSolo_cb(Fl_Widget*, void* d) { panel(d)->soloPressed(1); }
void leftGuitar_cb(Fl_Widget*, void* d) { panel(d)->categoryPressed(0, GuitarCategory); }
void leftBass_cb(Fl_Widget*, void* d) { panel(d)->categoryPressed(0, BassCategory); }
void leftGears_cb(Fl_Widget*, void* d) { panel(d)->categoryPressed(0, GearsCategory); }
void leftMisc_cb(Fl_Widget*, void* d) { panel(d)->categoryPressed(0, MiscCategory); }
void rightGuitar_cb(Fl_Widget*, void* d) { panel(d)->categoryPressed(1, GuitarCategory); }
void rightBass_cb(Fl_Widget*, void* d) { panel(d)->categoryPressed(1, BassCategory); }
void rightGears_cb(Fl_Widget*, void* d) { panel(d)->categoryPressed(1, GearsCategory); }
void rightMisc_cb(Fl_Widget*, void* d) { panel(d)->categoryPressed(1, MiscCategory); }
void leftSpeaker_cb(Fl_Widget*, void* d) { panel(d)->speakerChosen(0); }
void rightSpeaker_cb(Fl_Widget*, void* d) { panel(d)->speakerChosen(1); }
void leftSealed_cb(Fl_Widget*, void* d) { panel(d)->cabinetPressed(0, false); }
void leftOpen_cb(Fl_Widget*, void* d) { panel(d)->cabinetPressed(0, true); }
void rightSealed_cb(Fl_Widget*, void* d) { panel(d)->cabinetPressed(1, false); }
void rightOpen_cb(Fl_Widget*, void* d) { panel(d)->cabinetPressed(1, true); }
void leftMic_cb(Fl_Widget*, void* d) { panel(d)->micWheelMoved(0); }
void rightMic_cb(Fl_Widget*, void* d) { panel(d)->micWheelMoved(1); }
void leftBlend_cb(Fl_Widget*, void* d) { panel(d)->blendMoved(0); }
void rightBlend_cb(Fl_Widget*, void* d) { panel(d)->blendMoved(1); }
void leftVolume_cb(Fl_Widget*, void* d) { panel(d)->volumeMoved(0); }
void rightVolume_cb(Fl_Widget*, void* d) { panel(d)->volumeMoved(1); }
void leftOutLeft_cb(Fl_Widget*, void* d) { panel(d)->blendTyped(0, true); }
void leftOutRight_cb(Fl_Widget*, void* d) { panel(d)->blendTyped(0, false); }
void rightOutLeft_cb(Fl_Widget*, void* d) { panel(d)->blendTyped(1, true); }
void rightOutRight_cb(Fl_Widget*, void* d) { panel(d)->blendTyped(1, false); }
void leftVolumeInput_cb(Fl_Widget*, void* d) { panel(d)->volumeTyped(0); }
void rightVolumeInput_cb(Fl_Widget*, void* d) { panel(d)->volumeTyped(1); }
void delayMode_cb(Fl_Widget*, void* d) { panel(d)->delayModeChosen(); }
void ultraShort_cb(Fl_Widget*, void* d) { panel(d)->ultraShortToggled(); }
void delay_cb(Fl_Widget*, void* d) { panel(d)->delayMoved(); }
void leftDelay_cb(Fl_Widget*, void* d) { panel(d)->delayTyped(0); }
void rightDelay_cb(Fl_Widget*, void* d) { panel(d)->delayTyped(1); }
void leftDelayFine_cb(Fl_Widget*, void* d) { panel(d)->delayFineTyped(0); }
void rightDelayFine_cb(Fl_Widget*, void* d) { panel(d)->delayFineTyped(1); }
void tips_cb(Fl_Widget*, void* d) { panel(d)->tipsPressed(); }
void smallRoom_cb(Fl_Widget*, void* d) { panel(d)->roomSizePressed(0); }
void mediumRoom_cb(Fl_Widget*, void* d) { panel(d)->roomSizePressed(1); }
void time_cb(Fl_Widget*, void* d) { panel(d)->timeMoved(); }
void timeInput_cb(Fl_Widget*, void* d) { panel(d)->timeTyped(); }
void depth_cb(Fl_Widget*, void* d) { panel(d)->depthMoved(); }
void depthInput_cb(Fl_Widget*, void* d) { panel(d)->depthTyped(); }
void color_cb(Fl_Widget*, void* d) { panel(d)->colorMoved(); }

Fl_Callback* const categoryCallbacks[2][CategoryCount] = {
    {leftGuitar_cb, leftBass_cb, leftGears_cb, leftMisc_cb},
    {rightGuitar_cb, rightBass_cb, rightGears_cb, rightMisc_cb}};

Fl_PNG_Image* loadPicture(const std::string& folder, const char* pattern) {
    char path[1024];
    snprintf(path, sizeof path, pattern, folder.c_str());
    return new Fl_PNG_Image(path);
}

Slider* makeSlider(int x, int y, int w, int h, double lo, double hi, double step,
                   Fl_Callback* cb, void* data) {
    Slider* s = new Slider(x, y, w, h);
    s->bounds(lo, hi);
    s->step(step);
    s->slider_size(0.1);
    s->box(FL_NO_BOX);
    s->selection_color(FL_RED);
    s->labelfont(FL_HELVETICA_BOLD);
    s->callback(cb, data);
    return s;
}

Fl_Check_Button* makeCheck(int x, int y, int w, int h, const char* label, bool plain,
                           Fl_Callback* cb, void* data) {
    Fl_Check_Button* c = new Fl_Check_Button(x, y, w, h, label);
    if (plain) c->type(FL_NORMAL_BUTTON);   // only the handlers change the state
    c->selection_color(FL_RED);
    c->labelfont(FL_HELVETICA_BOLD);
    c->labelsize(13);
    c->labelcolor(teal);
    c->callback(cb, data);
    return c;
}

template <class Field>
Field* makeField(int x, int y, int w, int h, const char* text, Fl_Color background, Fl_Color textColor,
                 Fl_Callback* cb, void* data) {
    Field* f = new Field(x, y, w, h);
    f->value(text);
    f->color(background);
    f->textcolor(textColor);
    f->textsize(13);
    f->callback(cb, data);
    // Commits when the focus leaves a changed field, and at the Enter key.
    f->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);
    return f;
}

Fl_Int_Input* makeBlendField(int x, int y, const char* text, Fl_Callback* cb, void* data) {
    Fl_Int_Input* f = makeField<Fl_Int_Input>(x, y, 34, 20, text, cream, teal, cb, data);
    // Borderless, but a flat box in the field's cream: a field with no box at
    // all draws each typed digit over the last one, as nothing erases it.
    f->box(FL_FLAT_BOX);
    f->textfont(FL_HELVETICA_BOLD);
    return f;
}

Fl_Box* makeMicBox(int x, int y) {
    Fl_Box* b = new Fl_Box(x, y, 70, 25, "50%");
    b->labelsize(13);
    b->labelcolor(teal);
    return b;
}

}  // namespace

OV_Parameters::OV_Parameters(int x, int y, int w, int h, const char* label, const std::string& binDir,
                             const std::string& imgDir)
    : Fl_Group(x, y, w, h, label ? label : "  D a s h b o a r d  "),
      model(nullptr), coreFilesOk(1), live(1), globalConfig(0x0F), stereoMode(0) {
    micLeftImage = loadPicture(imgDir, "%s/mic-L_(50x152).png");
    micRightImage = loadPicture(imgDir, "%s/mic-R_(50x152).png");
    speakerOnImage = loadPicture(imgDir, "%s/speakerOn_(100x100).png");
    speakerOffImage = loadPicture(imgDir, "%s/speakerOff_(100x100).png");
    speakerOnSoloImage = loadPicture(imgDir, "%s/speakerOnSolo_(100x100).png");
    speakerMaskImage = loadPicture(imgDir, "%s/spkrMask_(248x165).png");

    stereoCabsButton = new Fl_Button(7, 70, 202, 27, "STEREO CABS");
    stereoMicsButton = new Fl_Button(210, 70, 202, 27, "STEREO MICS");
    stereoCabsButton->tooltip("'Stereo Cabs' mode");
    stereoMicsButton->tooltip("'Stereo Mics' mode");
    stereoCabsButton->callback(stereoCabs_cb, this);
    stereoMicsButton->callback(stereoMics_cb, this);
    for (Fl_Button* b : {stereoCabsButton, stereoMicsButton}) {
        b->labelfont(FL_HELVETICA_BOLD);
        b->labelsize(13);
        b->selection_color(paleGreen);
    }
    buildSide(0);
    buildSide(1);
    buildDelayAndRoom();

    callback(noPreview_cb);     // replaced by the main window's preview step
    model = new SoundModel(binDir);
    coreFilesOk = model->coreFilesOk() ? 1 : 0;
    end();
    setInitialState();
}

void OV_Parameters::buildSide(int side) {
    static const int categoryX[2][CategoryCount] = {{162, 219, 276, 333}, {436, 493, 550, 607}};
    Fl_Button* speaker = new Fl_Button(side ? 686 : 42, 147, 100, 100, side ? "R I G H T" : "L E F T");
    speaker->type(FL_TOGGLE_BUTTON);
    speaker->box(FL_NO_BOX);
    speaker->labelfont(FL_HELVETICA_BOLD);
    speaker->labelsize(13);
    speaker->labelcolor(FL_WHITE);
    // A button that is on draws its label in contrast to the selection colour;
    // against a dark one the white label stays white on the dark speaker.
    speaker->selection_color(FL_BLACK);
    speaker->image(speakerOnImage);
    speaker->align(FL_ALIGN_IMAGE_BACKDROP);
    speaker->tooltip(side ? "Click to activate [Right] speaker 'Solo' function"
                          : "Click to activate [Left] speaker 'Solo' function");
    speaker->callback(side ? rightSolo_cb : leftSolo_cb, this);
    (side ? rightSpeakerButton : leftSpeakerButton) = speaker;

    for (int c = 0; c < CategoryCount; c++) {
        Fl_Button* b = new Fl_Button(categoryX[side][c], 152, 57, 24, sound::categoryNames[c]);
        b->labelfont(FL_HELVETICA_BOLD);
        b->labelsize(13);
        b->callback(categoryCallbacks[side][c], this);
        categoryButtons(side)[c] = b;
    }
    Fl_Choice* choice = new Fl_Choice(side ? 436 : 162, 177, 229, 25);
    choice->callback(side ? rightSpeaker_cb : leftSpeaker_cb, this);
    (side ? rightSpeakerChoice : leftSpeakerChoice) = choice;

    if (side) {
        rightSealedCheck = makeCheck(440, 112, 80, 25, " Sealed", true, rightSealed_cb, this);
        rightOpenCheck = makeCheck(540, 112, 135, 25, " Opened/Ported", true, rightOpen_cb, this);
    } else {
        leftSealedCheck = makeCheck(164, 112, 85, 25, " Sealed", true, leftSealed_cb, this);
        leftOpenCheck = makeCheck(269, 112, 135, 25, " Opened/Ported", true, leftOpen_cb, this);
    }

    Thumbwheel* wheel = new Thumbwheel(side ? 480 : 226, 229, 120, 17, "<<    >>");
    wheel->type(FL_HORIZONTAL);
    wheel->bounds(0, 62);
    wheel->step(1);
    wheel->midpoint = 31;
    wheel->labelfont(FL_HELVETICA_BOLD);
    wheel->labelsize(13);
    wheel->labelcolor(FL_DARK3);
    wheel->tooltip("double click to instantly set to midpoint");
    wheel->callback(side ? rightMic_cb : leftMic_cb, this);
    (side ? rightMicWheel : leftMicWheel) = wheel;
    if (side) {
        rightMicEdgeBox = makeMicBox(422, 225);
        rightMicCenterBox = makeMicBox(590, 225);
    } else {
        leftMicEdgeBox = makeMicBox(166, 225);
        leftMicCenterBox = makeMicBox(336, 225);
    }

    Slider* blend = makeSlider(side ? 595 : 98, 376, 140, 17, 0, 100, 1, side ? rightBlend_cb : leftBlend_cb, this);
    blend->labelsize(12);
    if (side) {
        rightBlendSlider = blend;
        rightOutLeftInput = makeBlendField(477, 373, "0", rightOutLeft_cb, this);
        rightOutRightInput = makeBlendField(477, 392, "100", rightOutRight_cb, this);
    } else {
        leftBlendSlider = blend;
        leftOutLeftInput = makeBlendField(301, 373, "100", leftOutLeft_cb, this);
        leftOutRightInput = makeBlendField(301, 392, "0", leftOutRight_cb, this);
    }

    Slider* volume = makeSlider(side ? 595 : 98, 427, 140, 16, 0, 200, 1, side ? rightVolume_cb : leftVolume_cb, this);
    Fl_Input* volumeField = makeField<Fl_Input>(side ? 557 : 243, 425, 34, 20, "1.0", FL_WHITE, brown,
                                                side ? rightVolumeInput_cb : leftVolumeInput_cb, this);
    (side ? rightVolumeSlider : leftVolumeSlider) = volume;
    (side ? rightVolumeInput : leftVolumeInput) = volumeField;
}

void OV_Parameters::buildDelayAndRoom() {
    delayModeChoice = new Fl_Choice(630, 287, 155, 23);
    delayModeChoice->textsize(13);
    delayModeChoice->callback(delayMode_cb, this);
    ultraShortCheck = makeCheck(100, 287, 90, 25, " Ultra-short", false, ultraShort_cb, this);
    delaySlider = makeSlider(265, 291, 300, 17, 0, 250, 1, delay_cb, this);
    delaySlider->slider_size(0.05);
    delaySlider->box(FL_PLASTIC_UP_BOX);
    delaySlider->tooltip("apply short delay to one channel");
    leftDelayInput = makeField<Fl_Int_Input>(233, 289, 30, 20, "0", FL_WHITE, brown, leftDelay_cb, this);
    rightDelayInput = makeField<Fl_Int_Input>(568, 289, 30, 20, "0", FL_WHITE, brown, rightDelay_cb, this);
    leftDelayFineInput = makeField<Fl_Float_Input>(228, 289, 35, 20, "0.0", FL_WHITE, brown, leftDelayFine_cb, this);
    rightDelayFineInput = makeField<Fl_Float_Input>(568, 289, 35, 20, "0.0", FL_WHITE, brown, rightDelayFine_cb, this);

    tipsButton = new Fl_Button(752, 323, 50, 24, "TIPS");
    tipsButton->labelfont(FL_HELVETICA_BOLD);
    tipsButton->labelsize(12);
    tipsButton->selection_color(paleGreen);
    tipsButton->callback(tips_cb, this);
    tipsButton->hide();

    smallRoomCheck = makeCheck(515, 145, 80, 25, " Small", true, smallRoom_cb, this);
    mediumRoomCheck = makeCheck(600, 145, 80, 25, " Medium", true, mediumRoom_cb, this);
    timeSlider = makeSlider(515, 180, 140, 16, 0, 1, 0.01, time_cb, this);
    timeInput = makeField<Fl_Int_Input>(660, 177, 35, 20, "50", FL_WHITE, brown, timeInput_cb, this);
    depthSlider = makeSlider(515, 221, 140, 16, 0, 100, 1, depth_cb, this);
    depthInput = makeField<Fl_Int_Input>(660, 218, 35, 20, "50", FL_WHITE, brown, depthInput_cb, this);
    colorSlider = makeSlider(515, 277, 140, 16, 0, 3, 1, color_cb, this);
}

// The controls as the default block sets them; the model already holds the
// matching model and image.
void OV_Parameters::setInitialState() {
    for (int side = 0; side < 2; side++) speakers::fillMenu(*speakerChoice(side), GuitarCategory);
    delayModeChoice->add(" as Stereo Enhancer ");
    delayModeChoice->add(" as Notcher - Doubler");
    delayModeChoice->value(0);

    stereoCabsButton->value(1);
    stereoMicsButton->value(0);
    leftCategoryButtons[GuitarCategory]->value(1);
    rightCategoryButtons[GuitarCategory]->value(1);
    leftSpeakerChoice->value(3);
    rightSpeakerChoice->value(23);
    leftSealedCheck->value(1);
    leftOpenCheck->value(0);
    rightSealedCheck->value(0);
    rightOpenCheck->value(1);
    leftMicWheel->value(31);
    rightMicWheel->value(31);
    leftVolumeSlider->value(200);
    rightVolumeSlider->value(200);
    leftBlendSlider->value(0);
    rightBlendSlider->value(100);
    ultraShortCheck->value(0);
    delaySlider->value(125);
    smallRoomCheck->value(1);
    mediumRoomCheck->value(0);
    timeSlider->value(0.5);
    depthSlider->value(50);
    colorSlider->value(1);

    const int memory[2][CategoryCount] = {{3, 2, 2, 1}, {23, 2, 2, 1}};
    for (int c = 0; c < CategoryCount; c++) {
        leftCategoryMemory[c] = memory[0][c];
        rightCategoryMemory[c] = memory[1][c];
    }
    leftCategoryBase = rightCategoryBase = 0;
    // The read-outs were created with the texts of this state; the Stereo
    // Cabs controls show, the fine delay fields and the room controls hide.
    showModeControls();
}

OV_Parameters::~OV_Parameters() {
    clear();    // the controls go before the pictures they show
    delete model;
    delete micLeftImage;
    delete micRightImage;
    delete speakerOnImage;
    delete speakerOffImage;
    delete speakerOnSoloImage;
    delete speakerMaskImage;
}

const uint8_t* OV_Parameters::params() const { return model->params(); }
const uint8_t* OV_Parameters::image() const { return model->image(); }
bool OV_Parameters::leftSoloOn() const { return model->solo(LeftSide); }
bool OV_Parameters::rightSoloOn() const { return model->solo(RightSide); }
int OV_Parameters::soloSide() const { return leftSoloOn() ? 0 : rightSoloOn() ? 1 : -1; }
int OV_Parameters::savedSpeaker(int side) const { return model->savedSpeaker(side ? RightSide : LeftSide); }
int OV_Parameters::speakerNumber(int side) const { return model->params()[side ? Speaker_R : Speaker_L]; }
