#include "reference/OV_ToneChart.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Scroll.H>
#include <FL/fl_draw.H>

#include <cstdlib>
#include <cstring>

#include "editor/ScrollBox.h"
#include "reference/PictureGroup.h"
#include "reference/ToneChartSpeakers.h"

namespace {

// The list, one entry per line; the leading blanks line the sizes up under
// the names.
const char* const listLines[OV_ToneChart::LineCount] = {
    "  [GTR] : AMERICAN", " ~~~~~~~~~~~~~~~",
    "  Clst Vintage30 : 10 inch", "                           12 inch",
    "  Jens Vintage C : 10 inch", "                           12 inch",
    "  Emin Legend B : 10 inch", "                           12 inch",
    "  Clst Vintage60 : 10 inch", "                          12 inch",
    "  Emin Patriots : 10 inch", "                         12 inch",
    " ", "  [GTR] : BRITISH", " ~~~~~~~~~~~~~~~",
    "  Clst Cream : 10 inch", "                      12 inch",
    "  Clst Vintage10 : 10 inch", "                          12 inch",
    "  Clst Green : 10 inch", "                     12 inch",
    "  Fano A60 : 10 inch", "                   12 inch",
    "  Fano A90 : 10 inch", "                   12 inch",
    " ", "  [BASS]", " ~~~~~~~~~~~~~~~",
    "  Clst Pulser : 10 inch", "                      15 inch",
    "  Emin Legend BP : 10 inch", "                             15 inch",
    "  Emin Legend B8 : 10 inch", "                             15 inch",
    "  Jens Punchy BP : 10 inch", "                             12 inch",
    "  Jens Smooth BS : 10 inch", "                             15 inch",
    " ", "  [GEAR]", " ~~~~~~~~~~~~~~~",
    "  Palm09 : Normal", "                Bright", "  5-Twin", "  Ultra", "  Crimson Box",
    "  Cabzilla : Punchy", "               Bright",
    " ", "  [MISC]", " ~~~~~~~~~~~~~~~",
    "  Full-Range Speaker", "  Telephone - A", "                  - B", "                  - C",
    "  Megaphone", "  Horn",
    " ",
};

// Lines that name no speaker: blanks, separators and category headers.
bool isSpeakerLine(const char* text) {
    static const char* const others[] = {" ", " ~~~~~~~~~~~~~~~", "  [GTR] : AMERICAN", "  [GTR] : BRITISH",
                                         "  [BASS]", "  [GEAR]", "  [MISC]"};
    for (const char* other : others)
        if (std::strcmp(text, other) == 0) return false;
    return true;
}

const int PictureStep = 385;

Fl_Color listColor() { return fl_color_average(fl_color_average(39, 56, 0.67f), 56, 0.67f); }

void list_cb(Fl_Widget*, void* page) { static_cast<OV_ToneChart*>(page)->lineSelected(); }
void click_cb(Fl_Widget*, void* page) { static_cast<OV_ToneChart*>(page)->chartClicked(); }
void listenL_cb(Fl_Widget*, void* page) { static_cast<OV_ToneChart*>(page)->listenPressed(1); }
void listenR_cb(Fl_Widget*, void* page) { static_cast<OV_ToneChart*>(page)->listenPressed(2); }
void listenLR_cb(Fl_Widget*, void* page) { static_cast<OV_ToneChart*>(page)->listenPressed(3); }

// A Listen box that the page itself may hold, apart from the holds of the
// exchange guard (which activate and deactivate it): held, it looks inactive
// and takes no press, while its active state stays the guard's to keep.
class ListenButton : public Fl_Check_Button {
public:
    ListenButton(int x, int y, int w, int h, const char* label) : Fl_Check_Button(x, y, w, h, label) {}
    bool held = false;

    void draw() override {
        if (!held) return Fl_Check_Button::draw();
        set_flag(INACTIVE);
        Fl_Check_Button::draw();
        clear_flag(INACTIVE);
    }
    int handle(int event) override {
        if (held && (event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE || event == FL_KEYBOARD ||
                     event == FL_SHORTCUT))
            return event == FL_PUSH;    // swallowed, so that nothing under it takes the press either
        return Fl_Check_Button::handle(event);
    }
};

const char* const heldHint = "Listen R is held: in Stereo Mics mode the right speaker is not heard";
const char* const unheardHint = "In Stereo Mics mode the right speaker is not heard: untick Listen R";

Fl_Check_Button* listenButton(int x, const char* label, Fl_Callback* cb, void* page) {
    Fl_Check_Button* b = new ListenButton(x, 77, 90, 25, label);
    b->type(FL_NORMAL_BUTTON);      // the handlers set the value
    b->labelsize(14);
    b->labelcolor(255);
    b->selection_color(88);
    b->callback(cb, page);
    return b;
}

}  // namespace

const char* const OV_ToneChart::pictureFiles[PictureCount] = {
    "tc_amer_1_10.png", "tc_amer_1_12.png", "tc_amer_2_10.png", "tc_amer_2_12.png", "tc_amer_3_10.png",
    "tc_amer_3_12.png", "tc_amer_4_10.png", "tc_amer_4_12.png", "tc_amer_5_10.png", "tc_amer_5_12.png",
    "tc_brit_1_10.png", "tc_brit_1_12.png", "tc_brit_2_10.png", "tc_brit_2_12.png", "tc_brit_3_10.png",
    "tc_brit_3_12.png", "tc_brit_4_10.png", "tc_brit_4_12.png", "tc_brit_5_10.png", "tc_brit_5_12.png",
    "tc_bass_a_10.png", "tc_bass_a_15.png", "tc_bass_b_10.png", "tc_bass_b_15.png", "tc_bass_c_10.png",
    "tc_bass_c_15.png", "tc_bass_d_10.png", "tc_bass_d_12.png", "tc_bass_e_10.png", "tc_bass_e_12.png",
    "tc_palm09_n.png",  "tc_palm09_b.png",  "tc_5twin.png",     "tc_ultra.png",     "tc_crimson_box.png",
    "tc_cabzilla_p.png", "tc_cabzilla_b.png", "tc_full_range.png", "tc_telephone_a.png", "tc_telephone_b.png",
    "tc_telephone_c.png", "tc_megaphone.png", "tc_horn.png",
};

OV_ToneChart::OV_ToneChart(int x, int y, int w, int h, const char* label, ToneChartContext ctx,
                           const std::string& imgDir)
    : Fl_Group(x, y, w, h, label), context(std::move(ctx)), speakerList(nullptr), chartScroll(nullptr),
      clickBox(nullptr), listenL(nullptr), listenLR(nullptr), listenR(nullptr), background(nullptr),
      pictures{}, listenMode(0), selectedLine(3), chartOffset{}, toneChartSpeakers{},
      hints{"Tick one of the above boxes to audition the speakers in this chart",
            "Listen to selected speaker on Left channel", "Listen to selected speaker on Right channel",
            "Listen to selected speaker on both Left & Right channel"},
      hintX{310, 225, 535, 345}, auditionSolo(-1) {
    fillToneChartSpeakers(toneChartSpeakers);
    int speakersSoFar = 0;
    for (int i = 0; i < LineCount; ++i) {
        if (i > 0 && isSpeakerLine(listLines[i - 1])) ++speakersSoFar;
        chartOffset[i] = PictureStep * speakersSoFar;
    }
    chartOffset[LineCount] = 16940;

    speakerList = new Fl_Hold_Browser(10, 70, 190, 407);
    speakerList->textsize(13);
    speakerList->color(listColor());
    speakerList->textcolor(FL_WHITE);
    speakerList->selection_color(fl_rgb_color(235, 194, 0));
    for (const char* line : listLines) speakerList->add(line);
    speakerList->callback(list_cb, this);

    chartScroll = new Fl_Scroll(200, 150, 621, 327);
    chartScroll->box(FL_NO_BOX);
    chartScroll->color(fl_rgb_color(255, 255, 255));
    chartScroll->type(Fl_Scroll::VERTICAL);
    for (int k = 0; k < PictureCount; ++k) {
        std::string path = imgDir + "/" + pictureFiles[k];
        int top = 285 + PictureStep * k;
        if (k == 0)
            pictures[k] = new PictureGroup(270, 275, 445, 331, 270, 340, 445, 266, path.c_str());
        else
            pictures[k] = new PictureGroup(270, top, 445, 266, path.c_str());
    }
    clickBox = new ScrollBox(191, 0, 459, 16940);
    clickBox->scroll = chartScroll;
    clickBox->callback(click_cb, this);
    chartScroll->end();

    listenL = listenButton(300, " Listen L", listenL_cb, this);
    listenLR = listenButton(460, " Listen L/R", listenLR_cb, this);
    listenR = listenButton(620, " Listen R", listenR_cb, this);

    // The backdrop of the chart column; drawn first so that it lies under
    // the buttons and the scroll.
    background = new Fl_Box(FL_FLAT_BOX, 200, 70, 621, 410, nullptr);
    background->color(listColor());
    insert(*background, 0);
    end();

    speakerList->select(3);
    selectedLine = 3;
    chartScroll->scroll_to(-7, 150);
}

// Children go with the group: the scroll takes the pictures and clickBox.
OV_ToneChart::~OV_ToneChart() = default;

bool OV_ToneChart::rightListenHeld() const {
    return listenMode != 2 && context.stereoMics && context.stereoMics();
}

void OV_ToneChart::draw() {
    // The Dashboard's mode may have changed since the last drawing (its tab,
    // READ, a local preset): the hold follows it.
    ListenButton* right = static_cast<ListenButton*>(listenR);
    bool held = rightListenHeld();
    if (right->held != held) {
        right->held = held;
        right->tooltip(held ? heldHint : nullptr);
        damage(FL_DAMAGE_ALL);
    }
    Fl_Group::draw();
    if (listenMode < 0 || listenMode > 3) return;
    fl_font(FL_HELVETICA, 13);
    fl_color(listenMode ? 223 : 255);
    fl_draw(hints[listenMode], hintX[listenMode], 125);
    bool unheard = listenMode == 2 && context.stereoMics && context.stereoMics();
    if (held || unheard) {
        fl_font(FL_HELVETICA, 12);
        fl_color(held ? 255 : 223);
        fl_draw(held ? heldHint : unheardHint, 310, 143);
    }
}

void OV_ToneChart::lineSelected() {
    int n = speakerList->value();
    if (n < 1 || n > LineCount) return;
    if (!isSpeakerLine(speakerList->text(n))) {
        speakerList->deselect();
        return;
    }
    chartScroll->scroll_to(0, chartOffset[n - 1] + 240);
    selectedLine = n;
    if (listenMode != 0) audition();
}

int OV_ToneChart::nearestEntry(int contentY) const {
    int best = 0;
    for (int i = 1; i <= LineCount; ++i)
        if (std::abs(chartOffset[i] - contentY) < std::abs(chartOffset[best] - contentY)) best = i;
    return best;
}

void OV_ToneChart::chartClicked() {
    int i = nearestEntry(clickBox->clickY);
    // The blank last line (the space below the last chart) names no speaker:
    // it neither selects nor plays.
    if (i == LineCount) return;
    // Entry 0 names no line: the selection stays as it is.
    if (i > 0) {
        speakerList->select(i);
        selectedLine = speakerList->value();
    }
    if (listenMode != 0) audition();
}

void OV_ToneChart::listenPressed(int mode) {
    Fl_Check_Button* buttons[4] = {nullptr, listenL, listenR, listenLR};
    if (mode == 2 && rightListenHeld()) {
        redraw();       // the hint says why
        return;
    }
    if (listenMode == 0 && mode != 0) auditionSolo = context.soloSide ? context.soloSide() : -1;
    if (mode == listenMode) {
        buttons[mode]->value(0);
        buttons[mode]->labelcolor(255);
        listenMode = 0;
    } else {
        for (int m = 1; m <= 3; ++m) {
            buttons[m]->value(m == mode);
            buttons[m]->labelcolor(m == mode ? 223 : 255);
        }
        listenMode = mode;
    }
    audition();
    redraw();
}

void OV_ToneChart::audition() {
    int line = selectedLine >= 0 && selectedLine < 78 ? selectedLine : 0;
    int t = toneChartSpeakers[line];
    if (context.selectSpeakers && context.savedSpeaker) {
        int sL = context.savedSpeaker(0), sR = context.savedSpeaker(1);
        // A Solo switched on during the audition is the user's latest choice.
        if (listenMode != 0 && context.soloSide && context.soloSide() >= 0) auditionSolo = context.soloSide();
        switch (listenMode) {
        case 0:
            if (context.endAudition) context.endAudition(sL, sR, auditionSolo);
            else context.selectSpeakers(sL, sR);
            auditionSolo = -1;
            break;
        case 1: context.selectSpeakers(t, sR); break;
        case 2: context.selectSpeakers(sL, t); break;
        case 3: context.selectSpeakers(t, t); break;
        default: break;
        }
    }
    if (context.hidePresetBar) context.hidePresetBar();
}
