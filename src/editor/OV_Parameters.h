// The Dashboard tab: every control that edits the parameter block, the
// drawing around them, and the handlers that keep controls, block and
// algorithm image in step. The sound logic itself lives in SoundModel.
//
// Handlers preview by running the panel's own callback (installed by the main
// window: send the image to the pedal and log the outcome), and only when the
// model reports an audible change while `live` is set.
#pragma once

#include <FL/Fl_Group.H>

#include <cstdint>
#include <string>
#include <vector>

#include "editor/SpeakerMenus.h"

class SoundModel;
class Fl_Box;
class Fl_Button;
class Fl_Check_Button;
class Fl_Choice;
class Fl_Input;
class Fl_Int_Input;
class Fl_Float_Input;
class Fl_PNG_Image;
class Slider;
class Thumbwheel;

class OV_Parameters : public Fl_Group {
public:
    // Reads the pictures from imgDir and the core files from binDir.
    OV_Parameters(int x, int y, int w, int h, const char* label = nullptr,
                  const std::string& binDir = "bin", const std::string& imgDir = "img");
    ~OV_Parameters() override;
    void draw() override;
    // Tab and Shift+Tab in reading order, arrow keys on the focused control.
    int handle(int event) override;

    // The controls Tab visits now (shown and usable), in reading order: row
    // by row from the top, left to right within a row.
    std::vector<Fl_Widget*> tabOrder() const;

    // Loads a 12-byte block by running every control's handler (clamping
    // out-of-range bytes), so controls, sound model and image follow it.
    void apply(const uint8_t* block);
    // Sets both speakers at once (tone chart audition), then previews once.
    // Only the low byte of each counts; the saved speakers are left as they were.
    // An active Solo ends; with soloSide 0 (left) or 1 (right) that side's
    // Solo is switched on again before the preview (the end of an audition).
    void selectSpeakers(int left, int right, int soloSide = -1);

    const uint8_t* params() const;          // _Params, 12 bytes
    const uint8_t* image() const;           // AlgorithmImage, 512 bytes
    bool leftSoloOn() const;
    bool rightSoloOn() const;
    int soloSide() const;                   // 0 left, 1 right, -1 no Solo
    int savedSpeaker(int side) const;       // 0 left, 1 right
    int speakerNumber(int side) const;      // the speaker byte now in the block

    SoundModel* model;
    unsigned char coreFilesOk;
    unsigned char live;
    unsigned char globalConfig;             // cached global configuration byte
    int stereoMode;                         // 0 STEREO CABS, 1 STEREO MICS

    Fl_PNG_Image* micLeftImage;
    Fl_PNG_Image* micRightImage;
    Fl_PNG_Image* speakerOnImage;
    Fl_PNG_Image* speakerOffImage;
    Fl_PNG_Image* speakerOnSoloImage;
    Fl_PNG_Image* speakerMaskImage;

    Fl_Button* stereoCabsButton;
    Fl_Button* stereoMicsButton;
    Fl_Button* leftSpeakerButton;
    Fl_Button* rightSpeakerButton;
    Fl_Button* leftCategoryButtons[sound::CategoryCount];
    Fl_Button* rightCategoryButtons[sound::CategoryCount];
    Fl_Choice* leftSpeakerChoice;
    Fl_Choice* rightSpeakerChoice;
    Fl_Check_Button* leftSealedCheck;
    Fl_Check_Button* leftOpenCheck;
    Fl_Check_Button* rightSealedCheck;
    Fl_Check_Button* rightOpenCheck;
    Thumbwheel* leftMicWheel;
    Thumbwheel* rightMicWheel;
    Fl_Box* leftMicEdgeBox;
    Fl_Box* leftMicCenterBox;
    Fl_Box* rightMicEdgeBox;
    Fl_Box* rightMicCenterBox;
    Slider* leftBlendSlider;
    Fl_Int_Input* leftOutLeftInput;
    Fl_Int_Input* leftOutRightInput;
    Slider* rightBlendSlider;
    Fl_Int_Input* rightOutRightInput;
    Fl_Int_Input* rightOutLeftInput;
    Slider* leftVolumeSlider;
    Fl_Input* leftVolumeInput;
    Slider* rightVolumeSlider;
    Fl_Input* rightVolumeInput;
    Fl_Choice* delayModeChoice;
    Fl_Check_Button* ultraShortCheck;
    Slider* delaySlider;
    Fl_Int_Input* leftDelayInput;
    Fl_Int_Input* rightDelayInput;
    Fl_Float_Input* leftDelayFineInput;
    Fl_Float_Input* rightDelayFineInput;
    Fl_Button* tipsButton;
    Fl_Check_Button* smallRoomCheck;
    Fl_Check_Button* mediumRoomCheck;
    Slider* timeSlider;
    Fl_Int_Input* timeInput;
    Slider* depthSlider;
    Fl_Int_Input* depthInput;
    Slider* colorSlider;

    int leftCategoryMemory[sound::CategoryCount];  // menu position last chosen per category
    int rightCategoryMemory[sound::CategoryCount];
    int leftCategoryBase;                   // base of the category shown: 0, 40, 59, 69
    int rightCategoryBase;
    char micText[2][2][8];                  // per side: edge and centre read-outs

    // Handlers, one per control family; side 0 is left, 1 right. Public so
    // the static callbacks and the tests can reach them.
    void soloPressed(int side);
    void categoryPressed(int side, int category);
    void speakerChosen(int side);
    void cabinetPressed(int side, bool opened);
    void micWheelMoved(int side);
    void blendMoved(int side);
    void volumeMoved(int side);
    void delayMoved();
    void timeMoved();
    void depthMoved();
    void colorMoved();
    void blendTyped(int side, bool outLeftField);
    void volumeTyped(int side);
    void delayTyped(int side);
    void delayFineTyped(int side);
    void timeTyped();
    void depthTyped();
    void modePressed(int stereoMics);
    void delayModeChosen();
    void ultraShortToggled();
    void roomSizePressed(int medium);
    void tipsPressed();

private:
    void buildSide(int side);
    void buildDelayAndRoom();
    void setInitialState();
    void showMode(int stereoMics, bool changed);
    void showModeControls();
    void showDelayFields();
    void selectSpeaker(int side, int number);
    void showCabinetChecks(int side, bool shown);
    void setSpeakerFaces();
    void endSolo(int side);
    void refreshMicReadouts(int side);
    void refreshBlendReadouts(int side);
    void refreshVolumeReadout(int side);
    void refreshDelayReadouts();
    void repaint();
    void previewIf(bool changed);
    bool moveFocus(int step);
    bool arrowPressed(int key);
    // The mouse wheel over a menu; true when it was over one.
    bool wheelTurned();
    void drawCabsMode();
    void drawMicsMode();
    void drawSoloMarks(int side);

    Fl_Button** categoryButtons(int side) { return side ? rightCategoryButtons : leftCategoryButtons; }
    int* categoryMemory(int side) { return side ? rightCategoryMemory : leftCategoryMemory; }
    int& categoryBase(int side) { return side ? rightCategoryBase : leftCategoryBase; }
    Fl_Choice* speakerChoice(int side) { return side ? rightSpeakerChoice : leftSpeakerChoice; }
    Fl_Button* speakerButton(int side) { return side ? rightSpeakerButton : leftSpeakerButton; }
    Fl_Check_Button* sealedCheck(int side) { return side ? rightSealedCheck : leftSealedCheck; }
    Fl_Check_Button* openCheck(int side) { return side ? rightOpenCheck : leftOpenCheck; }
    Thumbwheel* micWheel(int side) { return side ? rightMicWheel : leftMicWheel; }
    Slider* blendSlider(int side) { return side ? rightBlendSlider : leftBlendSlider; }
    Slider* volumeSlider(int side) { return side ? rightVolumeSlider : leftVolumeSlider; }
    Fl_Input* volumeInput(int side) { return side ? rightVolumeInput : leftVolumeInput; }
};
