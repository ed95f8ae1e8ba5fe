#include "shell/main_window.h"
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
#include "shell/pedal_selection.h"
#include "shell/status_log.h"
#include "base/dialogs.h"
#include "base/platform.h"
#include "shell/run_folder.h"
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
    for (const std::string& folder : runfolder::searched()) {
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
    context.selectSpeakers = [this](int left, int right) { dashboard_->selectSpeakers(left, right); };
    context.savedSpeaker = [this](int side) { return dashboard_->savedSpeaker(side); };
    context.hidePresetBar = [this] { presetPanel_->hide(); };
    context.soloSide = [this] { return dashboard_->soloSide(); };
    context.endAudition = [this](int left, int right, int solo) { dashboard_->selectSpeakers(left, right, solo); };
    context.stereoMics = [this] { return dashboard_->stereoMode == 1; };
    return context;
}

Orvella::Orvella(int w, int h, const char* title)
    : Fl_Double_Window(w, h, title), tabs_(nullptr), userGuide_(nullptr), dashboard_(nullptr), toneChart_(nullptr),
      presetPanel_(nullptr), presetPrompt_(nullptr), transportPanel_(nullptr), usb_(nullptr),
      updatePrompt_(nullptr), gloConPrompt_(nullptr), devSelPrompt_(nullptr), calibratePrompt_(nullptr),
      gloConButton_(nullptr), connectButton_(nullptr), menuButton_(nullptr), quitButton_(nullptr),
      statusLog_(nullptr), listening_(nullptr), serviceMode_(false), logTopLine_(0), logTime_(nullptr), logLine_{},
      appLogo(nullptr), makerLogo(nullptr), logStamp{} {
    context_.log = this;
    context_.exchanges = &exchanges_;
    context_.steps = &edits_;
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

    tabs_ = new Fl_Tabs(5, 16, w - 10, 489);
    tabs_->box(FL_PLASTIC_DOWN_FRAME);
    tabs_->selection_color(fl_rgb_color(235, 194, 0));
    tabs_->callback(tabs_cb, this);
    dashboard_ = new OV_Parameters(5, 62, w - 10, 433, "  D a s h b o a r d  ");
    dashboard_->color(fl_rgb_color(153, 102, 0));
    dashboard_->labelfont(FL_HELVETICA);
    dashboard_->labelsize(14);
    dashboard_->labelcolor(fl_rgb_color(128, 128, 128));
    dashboard_->callback(preview_cb, this);
    dashboard_->end();
    toneChart_ = new OV_ToneChart(5, 62, w - 10, 433, "   T o n e  \n   C h a r t   ", toneChartContext());
    toneChart_->color(avg(FL_DARK3));
    toneChart_->labelfont(FL_HELVETICA);
    toneChart_->labelsize(12);
    toneChart_->labelcolor(fl_rgb_color(128, 128, 128));
    toneChart_->user_data(this);
    toneChart_->end();
    userGuide_ = new OV_UserGuide(5, 62, w - 10, 433, "   U s e r  \n   G u i d e   ");
    userGuide_->color(avg(FL_DARK3));
    userGuide_->labelfont(FL_HELVETICA);
    userGuide_->labelsize(12);
    userGuide_->labelcolor(fl_rgb_color(128, 128, 128));
    userGuide_->user_data(this);
    userGuide_->end();
    tabs_->end();
    tabs_->value(dashboard_);

    presetPanel_ = new OV_PresetPanel(477, 67, 345, 25);
    presetPanel_->box(FL_PLASTIC_DOWN_BOX);
    presetPanel_->color(avg2(FL_DARK2));
    presetPanel_->end();
    presetPrompt_ = new OV_PresetPrompt(500, h - 510, 290, 170);
    presetPrompt_->box(FL_EMBOSSED_BOX);
    presetPrompt_->color(avg2(FL_DARK2));
    presetPrompt_->end();
    presetPrompt_->hide();
    transportPanel_ = new OV_TransportPanel(5, h - 124, 820, 73);
    transportPanel_->box(FL_UP_BOX);
    transportPanel_->color(fl_rgb_color(72, 55, 28));
    transportPanel_->end();
    transportPanel_->deactivate();
    transportPanel_->selectFirstPreset();

    usb_ = new OV_UsbController(415, 445, 200, 24);
    usb_->end();
    // The link addresses preset i with protocol::readPresetCommand(i) from the start.
    context_.usb = usb_;
    context_.dashboard = dashboard_;
    presets_.context = context_;
    presets_.presetPanel = presetPanel_;
    presets_.presetPrompt = presetPrompt_;
    presets_.transportPanel = transportPanel_;
    installPresetCallbacks(presets_);

    gloConButton_ = new Fl_Button(335, 430, 160, 28, "Global Configuration");
    gloConButton_->labelfont(FL_HELVETICA_BOLD);
    gloConButton_->labelsize(13);

    statusLog_ = new TextBoard(5, h - 50, 645, 48);
    statusLog_->color(FL_LIGHT1);
    statusLog_->textsize(12);
    statusLog_->scrollbar_width(8);
    statusLog_->wrap_mode(Fl_Text_Display::WRAP_AT_PIXEL, statusLog_->w() - 20);

    int buttonX = statusLog_->x() + 650;
    connectButton_ = new Fl_Button(buttonX, h - 48, 70, 25, "Connect");
    connectButton_->labelfont(FL_HELVETICA);
    connectButton_->labelsize(14);
    connectButton_->tooltip("establish connection to pedal");
    connectButton_->callback(connect_cb, this);
    buttonX += connectButton_->w();
    menuButton_ = new Fl_Button(buttonX, h - 48, 50, 25, "Menu");
    menuButton_->labelfont(FL_HELVETICA);
    menuButton_->labelsize(14);
    menuButton_->callback(menu_cb, this);
    buttonX += menuButton_->w();
    quitButton_ = new Fl_Button(buttonX, h - 48, 50, 25, "Quit");
    quitButton_->labelfont(FL_HELVETICA);
    quitButton_->labelsize(14);
    quitButton_->tooltip("close program");
    quitButton_->callback(quit_cb, this);

    // A pedal waiting for firmware leaves Connect, the Menu and Quit usable.
    updatePrompt_ = new OV_UpdatePrompt(context_, {{connectButton_, menuButton_, quitButton_}, transportPanel_},
                                        235, 100, 360, 370);
    updatePrompt_->box(FL_EMBOSSED_BOX);
    updatePrompt_->color(FL_WHITE);
    updatePrompt_->end();
    updatePrompt_->hide();
    gloConPrompt_ = new OV_GloConPrompt(212, 148, 398, 260);
    gloConPrompt_->box(FL_EMBOSSED_BOX);
    gloConPrompt_->color(avg2(FL_DARK3));
    gloConPrompt_->callback(gloConPrompt_cb, gloConPrompt_);
    gloConPrompt_->end();
    gloConPrompt_->hide();
    devSelPrompt_ = new OV_DevSelPrompt(240, 150, 350, 260);
    devSelPrompt_->box(FL_EMBOSSED_BOX);
    devSelPrompt_->color(avg2(FL_DARK3));
    devSelPrompt_->callback(devSel_cb, this);
    devSelPrompt_->end();
    devSelPrompt_->hide();
    // Choosing a pedal leaves Connect, the Menu and Quit usable.
    devSelPrompt_->holdWhileShown(&exchanges_, {connectButton_, menuButton_, quitButton_});
    // Naming a local preset holds the Dashboard whose sound it names, and
    // what could open another prompt over it: "Global Configuration" and
    // Connect (two pedals bring the selection, one waiting for firmware the
    // update prompt). The rest stays usable: READ, for instance, brings the
    // sound to name onto the Dashboard.
    presetPrompt_->holdWhileShown(&exchanges_, {presetPanel_, transportPanel_, toneChart_->speakerList,
                                                toneChart_->clickBox, toneChart_->listenL, toneChart_->listenLR,
                                                toneChart_->listenR, menuButton_, quitButton_});
    // Above the status log, so its lines (the prompt's outcome) stay whole.
    calibratePrompt_ = new OV_CalibratePrompt(190, h - 160, 260, 110);
    calibratePrompt_->box(FL_EMBOSSED_BOX);
    calibratePrompt_->color(avg2(FL_DARK3));
    calibratePrompt_->callback(calibratePrompt_cb, calibratePrompt_);
    calibratePrompt_->end();
    calibratePrompt_->hide();

    end();
    wireMaintenancePrompts();
    ListenContext listenContext;
    listenContext.feature = context_;
    listenContext.title = [this] { return std::string(transportPanel_->title, sizeof transportPanel_->title); };
    // An active transport panel means a pedal is connected.
    listenContext.pedalPreset = [this] { return transportPanel_->active() ? transportPanel_->selectedPreset : -1; };
    listening_ = new Listening(listenContext);

    // Everything that could start a second pedal exchange while one runs:
    // a new panel that talks to the pedal adds itself here.
    exchanges_.add(dashboard_);
    exchanges_.add(presetPanel_);
    exchanges_.add(presetPrompt_);
    exchanges_.add(transportPanel_);
    exchanges_.add(gloConButton_);
    // The tone chart's audition sends a sound; its page itself stays active,
    // as the tabs draw an inactive page's label lighter.
    exchanges_.add(toneChart_->speakerList);
    exchanges_.add(toneChart_->clickBox);
    exchanges_.add(toneChart_->listenL);
    exchanges_.add(toneChart_->listenLR);
    exchanges_.add(toneChart_->listenR);
    exchanges_.add(connectButton_);
    exchanges_.add(menuButton_);
    exchanges_.add(quitButton_);

    Fl::check();
    show();
    Fl::check();
    // The reference pages' pictures are decoded once the window shows.
    PictureGroup::deferDecoding(false);
    PictureGroup::decodePending();

    startupConnect();
    resize(x(), y(), 830, 600);
    edits_.begin();
    listenForKeys(true);
    watchSessionEnd(true);

    if (!dashboard_->coreFilesOk) {
        dialogs::alert("%s", corruptedAlert().c_str());
        quitProgram();  // returns only under a test's quit hook
    }
}

// The children, tabs' pages included, go with the window's group; the logos
// are not children.
Orvella::~Orvella() {
    watchSessionEnd(false);
    listenForKeys(false);
    delete listening_;
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
    if (dashboard_->visible()) {
        dashboard_->labelsize(14);
        toneChart_->labelsize(12);
        userGuide_->labelsize(12);
        presetPanel_->show();
        gloConButton_->show();
    } else {
        dashboard_->labelsize(12);
        toneChart_->labelsize(toneChart_->visible() ? 14 : 12);
        userGuide_->labelsize(userGuide_->visible() ? 14 : 12);
        presetPanel_->hide();
        gloConButton_->hide();
    }
    redraw();
}

void Orvella::stampStatus() {
    time_t now = time(nullptr);
    localtime_r(&now, &logStamp);
    logTime_ = &logStamp;
}

void Orvella::logStatus(const char* format, ...) {
    if (!logTime_) stampStatus();
    int used = snprintf(logLine_, sizeof logLine_, "[%02d:%02d:%02d] :  ", logTime_->tm_hour,
                        logTime_->tm_min, logTime_->tm_sec);
    if (used < 0 || used >= static_cast<int>(sizeof logLine_)) used = 0;
    va_list args;
    va_start(args, format);
    // The room left keeps one byte for the newline; a long text is cut.
    int room = static_cast<int>(sizeof logLine_) - used - 1;
    int written = vsnprintf(logLine_ + used, static_cast<size_t>(room), format, args);
    va_end(args);
    if (written < 0) written = 0;
    size_t end = static_cast<size_t>(used) + static_cast<size_t>(written < room ? written : room - 1);
    logLine_[end] = '\n';
    logLine_[end + 1] = '\0';
    if (statusLog_) statusLog_->textBuffer->append(logLine_);   // absent only while panels are built
}

void Orvella::advanceStatus(int n) {
    logTopLine_ += n;
    if (!statusLog_) return;
    // The count of an action's lines leaves its outcome at the top of the
    // view; but a line nobody counted, or one wrapped in two, would push the
    // newest line out of sight: the view always ends on the newest line.
    int last = statusLog_->lastLine();
    int top = std::max(1, last - statusLog_->wholeLines() + 1);
    statusLog_->scroll(std::min(std::max(logTopLine_, top), last), 0);
}
