// A Dashboard in a shown window, built on core files the fixture writes
// (deterministic pseudo-random contents, so every coefficient differs), with
// a preview step that records what it would send.
#pragma once

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Tooltip.H>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "editor/OV_Parameters.h"
#include "base/dialogs.h"
#include "sound/CoreFiles.h"

namespace dashtest {

// Writes the eight core files into a fresh folder and returns its path.
inline std::string makeBinFolder() {
    static std::string folder;
    if (!folder.empty()) return folder;
    char tmpl[] = "/tmp/orvella-editor-bin-XXXXXX";
    folder = mkdtemp(tmpl);
    std::mt19937 rng(1234);
    for (const CoreFileSlice& slice : coreFileSlices) {
        std::string path = folder + "/" + slice.name;
        FILE* f = fopen(path.c_str(), "wb");
        for (long i = 0; i < slice.offset + slice.length; i++) fputc(int(rng() & 0xFF), f);
        fclose(f);
    }
    return folder;
}

struct Preview {
    std::array<uint8_t, 512> image;
    int live;
};

inline void record_cb(Fl_Widget* w, void* data) {
    OV_Parameters* dash = static_cast<OV_Parameters*>(w);
    Preview p;
    std::copy(dash->image(), dash->image() + 512, p.image.begin());
    p.live = dash->live;
    static_cast<std::vector<Preview>*>(data)->push_back(p);
}

class Recorder : public dialogs::Handler {
public:
    Recorder() { dialogs::setHandler(this); }
    ~Recorder() override { dialogs::setHandler(nullptr); }
    void alert(const std::string& text) override { alerts.push_back(text); }
    void message(const std::string& text) override { messages.push_back(text); }
    int choice(const std::string&, const char*, const char*, const char*) override { return 0; }
    int chooseFiles(const dialogs::ChooserRequest&, std::vector<std::string>&) override { return 1; }
    const Fl_Menu_Item* popup(const Fl_Menu_Item*, int, int) override { return nullptr; }
    std::vector<std::string> alerts, messages;
};

class Dashboard : public ::testing::Test {
protected:
    void SetUp() override {
        // No tooltip window may pop up over pixels a test reads back.
        Fl_Tooltip::disable();
        win = new Fl_Double_Window(830, 600);
        dash = new OV_Parameters(5, 62, 820, 433, nullptr, makeBinFolder(), ORVELLA_IMG_DIR);
        win->end();
        dash->callback(record_cb, &previews);
        win->show();
        Fl::check();
    }
    void TearDown() override { delete win; }

    std::vector<uint8_t> block() const { return std::vector<uint8_t>(dash->params(), dash->params() + 12); }
    std::vector<uint8_t> image() const { return std::vector<uint8_t>(dash->image(), dash->image() + 512); }

    Fl_Double_Window* win = nullptr;
    OV_Parameters* dash = nullptr;
    std::vector<Preview> previews;
    Recorder dialogs;
};

}  // namespace dashtest
