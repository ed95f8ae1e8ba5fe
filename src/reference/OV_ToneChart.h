// The Tone Chart tab: every emulated speaker listed by category beside a
// scrolling column of charts, one per speaker, and three "Listen" boxes that
// play the selected speaker on the pedal's left, right or both channels.
// Ending an audition brings back the speakers the user had chosen.
//
// The page knows the Dashboard only through ToneChartContext, which the main
// window fills in.
#pragma once

#include <FL/Fl_Group.H>

#include <functional>
#include <string>

class Fl_Box;
class Fl_Check_Button;
class Fl_Hold_Browser;
class Fl_Scroll;
class PictureGroup;
class ScrollBox;

struct ToneChartContext {
    // Loads the two speaker bytes into the Dashboard and previews them once
    // (only the low byte of each counts); leaves the saved speakers alone.
    std::function<void(int left, int right)> selectSpeakers;
    // The speaker byte the user last chose on a side (0 left, 1 right).
    std::function<int(int side)> savedSpeaker;
    // Hides the main window's local preset bar.
    std::function<void()> hidePresetBar;
    // The side whose Solo is on (0 left, 1 right), or -1.
    std::function<int()> soloSide;
    // Gives back the user's sound at the end of an audition: the two speaker
    // bytes, then the Solo of soloSide (-1 none), previewed once.
    std::function<void(int left, int right, int soloSide)> endAudition;
    // Whether the Dashboard is in Stereo Mics, where only the left speaker
    // is heard.
    std::function<bool()> stereoMics;
};

class OV_ToneChart : public Fl_Group {
public:
    static const int LineCount = 58;
    static const int PictureCount = 43;

    // Builds the page, selects line 3 and scrolls to its chart. The charts
    // are read from imgDir; a missing one leaves its place empty.
    OV_ToneChart(int x, int y, int w, int h, const char* label = nullptr,
                 ToneChartContext context = ToneChartContext(), const std::string& imgDir = "img");
    ~OV_ToneChart() override;
    void draw() override;

    // What the widgets' callbacks run; public for the callbacks and tests.
    void lineSelected();
    void chartClicked();
    void listenPressed(int mode);     // 1 left, 2 right, 3 both
    // Plays the selected line's speaker as listenMode says (mode 0: the saved
    // speakers), then hides the local preset bar.
    void audition();

    // Index of the chartOffset entry nearest to a content y (first on ties).
    int nearestEntry(int contentY) const;
    // Whether " Listen R" is held because the Dashboard is in Stereo Mics,
    // where the right speaker is not heard (a running right audition can
    // still be ended).
    bool rightListenHeld() const;
    // Names of the chart files, in speaker-line order ("tc_amer_1_10.png", ...).
    static const char* const pictureFiles[PictureCount];

    ToneChartContext context;
    Fl_Hold_Browser* speakerList;
    Fl_Scroll* chartScroll;
    ScrollBox* clickBox;
    Fl_Check_Button* listenL;
    Fl_Check_Button* listenLR;
    Fl_Check_Button* listenR;
    Fl_Box* background;
    PictureGroup* pictures[PictureCount];   // owned by chartScroll
    int listenMode;                         // 0 none, 1 left, 2 right, 3 both
    int selectedLine;
    int chartOffset[LineCount + 1];
    int toneChartSpeakers[78];
    const char* hints[4];
    int hintX[4];
    int auditionSolo;                       // the Solo the user had when the audition began, -1 none
};
