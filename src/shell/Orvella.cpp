#include "shell/Orvella.h"
#include "shell/fonts.h"

#include <FL/Fl.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Shared_Image.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "editor/OV_Parameters.h"
#include "link/OV_UsbController.h"
#include "listen/listening.h"
#include "maintenance/OV_CalibratePrompt.h"
#include "maintenance/OV_GloConPrompt.h"
#include "maintenance/OV_UpdatePrompt.h"
#include "presets/OV_PresetPanel.h"
#include "presets/OV_PresetPrompt.h"
#include "presets/OV_TransportPanel.h"
#include "reference/OV_ToneChart.h"
#include "reference/OV_UserGuide.h"
#include "reference/PictureGroup.h"
#include "editor/ScrollBox.h"
#include "shell/OV_DevSelPrompt.h"
#include "shell/TextBoard.h"
#include "base/dialogs.h"
#include "base/platform.h"
#include "shell/data_folder.h"
#include "shell/quit.h"
#include "shell/startup.h"
#include "base/support_texts.h"

// Three (or two) successive steps toward black with weight 0.67.
static Fl_Color avg(Fl_Color c) {
    for (int i = 0; i < 3; ++i) c = fl_color_average(c, FL_BLACK, 0.67f);
    return c;
}
static Fl_Color avg2(Fl_Color c) {
    for (int i = 0; i < 2; ++i) c = fl_color_average(c, FL_BLACK, 0.67f);
    return c;
}

static void tabs_cb(Fl_Widget*, void* data) { static_cast<Orvella*>(data)->tabSwitched(); }
static void connect_cb(Fl_Widget*, void* data) { static_cast<Orvella*>(data)->connectClicked(); }
static void menu_cb(Fl_Widget*, void* data) { static_cast<Orvella*>(data)->menuClicked(); }
static void quit_cb(Fl_Widget*, void* data) { static_cast<Orvella*>(data)->quit(); }
// The close button and the window manager's close leave the one way.
static void close_cb(Fl_Widget*, void* data) { static_cast<Orvella*>(data)->quit(Orvella::Leaving::Close); }
static void preview_cb(Fl_Widget*, void* data) { static_cast<Orvella*>(data)->previewImage(); }
static void devSel_cb(Fl_Widget*, void* data) { confirmPedal(static_cast<Orvella*>(data)); }

static const char* const corruptedMessage =
    "One or more components required to run this software has been corrupted.\n\n"
    "  Please uninstall this software, then do a fresh re-installation.\n\n";

// The corrupted-components alert also says where the core files were looked for.
static std::string corruptedAlert() {
    std::string text = corruptedMessage;
    text += "  The core files were looked for in:\n";
    for (const std::string& folder : datafolder::searched()) {
        text += "    ";
        for (char c : platform::shownPath(folder + "/bin")) text += c == '@' ? std::string("@@") : std::string(1, c);
        text += "\n";
    }
    text += "\n " SUPPORT_LINE;
    return text;
}

// What the tone chart may do to the rest of the window: audition speakers on
// the Dashboard and hide the local preset bar afterwards.
ToneChartContext Orvella::toneChartContext() {
    ToneChartContext context;
    context.selectSpeakers = [this](int left, int right) { dashboard->selectSpeakers(left, right); };
    context.savedSpeaker = [this](int side) { return dashboard->savedSpeaker(side); };
    context.hidePresetBar = [this] { presetPanel->hide(); };
    context.soloSide = [this] { return dashboard->soloSide(); };
    context.endAudition = [this](int left, int right, int solo) { dashboard->selectSpeakers(left, right, solo); };
    context.stereoMics = [this] { return dashboard->stereoMode == 1; };
    return context;
}

Orvella::Orvella(int w, int h, const char* title)
    : Fl_Double_Window(w, h, title), tabs(nullptr), userGuide(nullptr), dashboard(nullptr), toneChart(nullptr),
      presetPanel(nullptr), presetPrompt(nullptr), transportPanel(nullptr), usb(nullptr),
      updatePrompt(nullptr), gloConPrompt(nullptr), devSelPrompt(nullptr), calibratePrompt(nullptr),
      gloConButton(nullptr), connectButton(nullptr), menuButton(nullptr), quitButton(nullptr),
      statusLog(nullptr), listening(nullptr), serviceMode(false), logTopLine(0), logTime(nullptr), logLine{},
      appLogo(nullptr), makerLogo(nullptr), logStamp{} {
    context.log = this;
    context.exchanges = &exchanges;
    context.steps = &edits;
    callback(close_cb, this);
    begin();
    PictureGroup::deferDecoding(true);
    makeDataFolders();
    fl_register_images();
    useLayoutFonts();

    Fl_Box* background = new Fl_Box(FL_FLAT_BOX, 0, 0, 830, 630, nullptr);
    background->color(fl_rgb_color(253, 252, 255));
    Fl_Box* headerBand = new Fl_Box(FL_FLAT_BOX, 0, 0, 830, 63, nullptr);
    headerBand->color(fl_rgb_color(72, 55, 28));

    char path[64];
    snprintf(path, sizeof path, "%s/appLogo_(150x34).png", "img");
    appLogo = new Fl_PNG_Image(path);
    snprintf(path, sizeof path, "%s/kestrovaLogo_(130x50).png", "img");
    makerLogo = new Fl_PNG_Image(path);

    tabs = new Fl_Tabs(5, 16, w - 10, 489);
    tabs->box(FL_PLASTIC_DOWN_FRAME);
    tabs->selection_color(fl_rgb_color(235, 194, 0));
    tabs->callback(tabs_cb, this);
    dashboard = new OV_Parameters(5, 62, w - 10, 433, "  D a s h b o a r d  ");
    dashboard->color(fl_rgb_color(153, 102, 0));
    dashboard->labelfont(FL_HELVETICA);
    dashboard->labelsize(14);
    dashboard->labelcolor(fl_rgb_color(128, 128, 128));
    dashboard->callback(preview_cb, this);
    dashboard->end();
    toneChart = new OV_ToneChart(5, 62, w - 10, 433, "   T o n e  \n   C h a r t   ", toneChartContext());
    toneChart->color(avg(FL_DARK3));
    toneChart->labelfont(FL_HELVETICA);
    toneChart->labelsize(12);
    toneChart->labelcolor(fl_rgb_color(128, 128, 128));
    toneChart->user_data(this);
    toneChart->end();
    userGuide = new OV_UserGuide(5, 62, w - 10, 433, "   U s e r  \n   G u i d e   ");
    userGuide->color(avg(FL_DARK3));
    userGuide->labelfont(FL_HELVETICA);
    userGuide->labelsize(12);
    userGuide->labelcolor(fl_rgb_color(128, 128, 128));
    userGuide->user_data(this);
    userGuide->end();
    tabs->end();
    tabs->value(dashboard);

    presetPanel = new OV_PresetPanel(477, 67, 345, 25);
    presetPanel->box(FL_PLASTIC_DOWN_BOX);
    presetPanel->color(avg2(FL_DARK2));
    presetPanel->end();
    presetPrompt = new OV_PresetPrompt(500, h - 510, 290, 170);
    presetPrompt->box(FL_EMBOSSED_BOX);
    presetPrompt->color(avg2(FL_DARK2));
    presetPrompt->end();
    presetPrompt->hide();
    transportPanel = new OV_TransportPanel(5, h - 124, 820, 73);
    transportPanel->box(FL_UP_BOX);
    transportPanel->color(fl_rgb_color(72, 55, 28));
    transportPanel->end();
    transportPanel->deactivate();
    transportPanel->selectFirstPreset();

    usb = new OV_UsbController(415, 445, 200, 24);
    usb->end();
    // The link addresses preset i with protocol::readPresetCommand(i) from the start.
    context.usb = usb;
    context.dashboard = dashboard;
    presets.context = context;
    presets.presetPanel = presetPanel;
    presets.presetPrompt = presetPrompt;
    presets.transportPanel = transportPanel;
    installPresetCallbacks(presets);

    gloConButton = new Fl_Button(335, 430, 160, 28, "Global Configuration");
    gloConButton->labelfont(FL_HELVETICA_BOLD);
    gloConButton->labelsize(13);

    statusLog = new TextBoard(5, h - 50, 645, 48);
    statusLog->color(FL_LIGHT1);
    statusLog->textsize(12);
    statusLog->scrollbar_width(8);
    statusLog->wrap_mode(Fl_Text_Display::WRAP_AT_PIXEL, statusLog->w() - 20);

    int buttonX = statusLog->x() + 650;
    connectButton = new Fl_Button(buttonX, h - 48, 70, 25, "Connect");
    connectButton->labelfont(FL_HELVETICA);
    connectButton->labelsize(14);
    connectButton->tooltip("establish connection to pedal");
    connectButton->callback(connect_cb, this);
    buttonX += connectButton->w();
    menuButton = new Fl_Button(buttonX, h - 48, 50, 25, "Menu");
    menuButton->labelfont(FL_HELVETICA);
    menuButton->labelsize(14);
    menuButton->callback(menu_cb, this);
    buttonX += menuButton->w();
    quitButton = new Fl_Button(buttonX, h - 48, 50, 25, "Quit");
    quitButton->labelfont(FL_HELVETICA);
    quitButton->labelsize(14);
    quitButton->tooltip("close program");
    quitButton->callback(quit_cb, this);

    // A pedal waiting for firmware leaves Connect, the Menu and Quit usable.
    updatePrompt = new OV_UpdatePrompt(context, {{connectButton, menuButton, quitButton}, transportPanel},
                                       235, 100, 360, 370);
    updatePrompt->box(FL_EMBOSSED_BOX);
    updatePrompt->color(FL_WHITE);
    updatePrompt->end();
    updatePrompt->hide();
    gloConPrompt = new OV_GloConPrompt(212, 148, 398, 260);
    gloConPrompt->box(FL_EMBOSSED_BOX);
    gloConPrompt->color(avg2(FL_DARK3));
    gloConPrompt->callback(gloConPrompt_cb, gloConPrompt);
    gloConPrompt->end();
    gloConPrompt->hide();
    devSelPrompt = new OV_DevSelPrompt(240, 150, 350, 260);
    devSelPrompt->box(FL_EMBOSSED_BOX);
    devSelPrompt->color(avg2(FL_DARK3));
    devSelPrompt->callback(devSel_cb, this);
    devSelPrompt->end();
    devSelPrompt->hide();
    // Choosing a pedal leaves Connect, the Menu and Quit usable.
    devSelPrompt->holdWhileShown(&exchanges, {connectButton, menuButton, quitButton});
    // Naming a local preset holds the Dashboard whose sound it names, and
    // what could open another prompt over it: "Global Configuration" and
    // Connect (two pedals bring the selection, one waiting for firmware the
    // update prompt). The rest stays usable: READ, for instance, brings the
    // sound to name onto the Dashboard.
    presetPrompt->holdWhileShown(&exchanges, {presetPanel, transportPanel, toneChart->speakerList, toneChart->clickBox,
                                              toneChart->listenL, toneChart->listenLR, toneChart->listenR, menuButton,
                                              quitButton});
    // Above the status log, so its lines (the prompt's outcome) stay whole.
    calibratePrompt = new OV_CalibratePrompt(190, h - 160, 260, 110);
    calibratePrompt->box(FL_EMBOSSED_BOX);
    calibratePrompt->color(avg2(FL_DARK3));
    calibratePrompt->callback(calibratePrompt_cb, calibratePrompt);
    calibratePrompt->end();
    calibratePrompt->hide();

    end();
    wireMaintenancePrompts();
    ListenContext listenContext;
    listenContext.feature = context;
    listenContext.title = [this] { return std::string(transportPanel->title, sizeof transportPanel->title); };
    // An active transport panel means a pedal is connected.
    listenContext.pedalPreset = [this] { return transportPanel->active() ? transportPanel->selectedPreset : -1; };
    listening = new Listening(listenContext);

    // Everything that could start a second pedal exchange while one runs:
    // a new panel that talks to the pedal adds itself here.
    exchanges.add(dashboard);
    exchanges.add(presetPanel);
    exchanges.add(presetPrompt);
    exchanges.add(transportPanel);
    exchanges.add(gloConButton);
    // The tone chart's audition sends a sound; its page itself stays active,
    // as the tabs draw an inactive page's label lighter.
    exchanges.add(toneChart->speakerList);
    exchanges.add(toneChart->clickBox);
    exchanges.add(toneChart->listenL);
    exchanges.add(toneChart->listenLR);
    exchanges.add(toneChart->listenR);
    exchanges.add(connectButton);
    exchanges.add(menuButton);
    exchanges.add(quitButton);

    Fl::check();
    show();
    Fl::check();
    // The reference pages' pictures are decoded once the window shows.
    PictureGroup::deferDecoding(false);
    PictureGroup::decodePending();

    startupConnect();
    resize(x(), y(), 830, 600);
    edits.begin();
    listenForKeys(true);
    watchSessionEnd(true);

    if (!dashboard->coreFilesOk) {
        dialogs::alert("%s", corruptedAlert().c_str());
        quitProgram();  // returns only under a test's quit hook
    }
}

// The children, tabs' pages included, go with the window's group; the logos
// are not children.
Orvella::~Orvella() {
    watchSessionEnd(false);
    listenForKeys(false);
    delete listening;
    delete appLogo;
    delete makerLogo;
}

void Orvella::draw() {
    Fl_Double_Window::draw();
    fl_color(fl_rgb_color(150, 150, 150));
    fl_font(FL_HELVETICA, 12);
    fl_draw("(c) 2026 Kestrova", w() - 170, h() - 8);
    fl_font(FL_HELVETICA, 10);
    fl_draw("TM", 549, 23);
    if (appLogo && appLogo->w() > 0 && appLogo->h() > 0) appLogo->draw(400, 14, 150, 34);
    if (makerLogo && makerLogo->w() > 0 && makerLogo->h() > 0) makerLogo->draw(650, 6, 130, 50);
}

int Orvella::handle(int event) {
    int used = Fl_Double_Window::handle(event);
    if (!used && event == FL_SHORTCUT && Fl::event_key() == FL_Escape) return 1;
    return used;
}

void Orvella::tabSwitched() {
    if (dashboard->visible()) {
        dashboard->labelsize(14);
        toneChart->labelsize(12);
        userGuide->labelsize(12);
        presetPanel->show();
        gloConButton->show();
    } else {
        dashboard->labelsize(12);
        toneChart->labelsize(toneChart->visible() ? 14 : 12);
        userGuide->labelsize(userGuide->visible() ? 14 : 12);
        presetPanel->hide();
        gloConButton->hide();
    }
    redraw();
}

void Orvella::stampStatus() {
    time_t now = time(nullptr);
    localtime_r(&now, &logStamp);
    logTime = &logStamp;
}

void Orvella::logStatus(const char* format, ...) {
    if (!logTime) stampStatus();
    int used = snprintf(logLine, sizeof logLine, "[%02d:%02d:%02d] :  ", logTime->tm_hour,
                        logTime->tm_min, logTime->tm_sec);
    if (used < 0 || used >= static_cast<int>(sizeof logLine)) used = 0;
    va_list args;
    va_start(args, format);
    // The room left keeps one byte for the newline; a long text is cut.
    int room = static_cast<int>(sizeof logLine) - used - 1;
    int written = vsnprintf(logLine + used, static_cast<size_t>(room), format, args);
    va_end(args);
    if (written < 0) written = 0;
    size_t end = static_cast<size_t>(used) + static_cast<size_t>(written < room ? written : room - 1);
    logLine[end] = '\n';
    logLine[end + 1] = '\0';
    if (statusLog) statusLog->textBuffer->append(logLine);   // absent only while panels are built
}

void Orvella::advanceStatus(int n) {
    logTopLine += n;
    if (!statusLog) return;
    // The count of an action's lines leaves its outcome at the top of the
    // view; but a line nobody counted, or one wrapped in two, would push the
    // newest line out of sight: the view always ends on the newest line.
    int last = statusLog->lastLine();
    int top = std::max(1, last - statusLog->wholeLines() + 1);
    statusLog->scroll(std::min(std::max(logTopLine, top), last), 0);
}
