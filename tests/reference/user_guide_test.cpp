// The User Guide tab: topic picking and the page's scroll position in the
// real window, the page without its image folder, the thirty pictures, and
// regenerating them (and docs/user-guide.md) from docs/guide/guide.txt.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_JPEG_Image.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Scroll.H>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/gui/Events.h"
#include "tests/support/gui/RecordingDialogs.h"
#include "tests/support/gui/TestEnvironment.h"
#include "reference/OV_UserGuide.h"
#include "reference/PictureGroup.h"
#include "reference/UserGuideLayout.h"
#include "shell/main_window.h"

using gui::TestEnvironment;

namespace {

int lineOf(OV_UserGuide* guide, const char* text) {
    for (int line = 1; line <= guide->topicList->size(); ++line)
        if (std::string(guide->topicList->text(line)) == text) return line;
    return 0;
}

void pick(OV_UserGuide* guide, int line) {
    guide->topicList->select(line);
    guide->topicList->do_callback();
    gui::settle();
}

std::unique_ptr<Fl_Image> decode(const std::string& path) {
    bool jpeg = path.size() > 4 && path.compare(path.size() - 4, 4, ".jpg") == 0;
    std::unique_ptr<Fl_Image> image(jpeg ? static_cast<Fl_Image*>(new Fl_JPEG_Image(path.c_str()))
                                         : static_cast<Fl_Image*>(new Fl_PNG_Image(path.c_str())));
    if (image->fail() || image->w() <= 0) image.reset();
    return image;
}

// The size a file name states, as in "ug_cab_pic_(390x48).png".
bool statedSize(const std::string& name, int& w, int& h) {
    size_t open = name.rfind('(');
    return open != std::string::npos && std::sscanf(name.c_str() + open, "(%dx%d)", &w, &h) == 2;
}

std::string fileName(int n) { return std::string(userguide::pictures[n].fileFormat).substr(3); }

// Every picture file with the picture it shows: the thirty, and the Windows
// versions of the few that have one.
std::vector<std::pair<std::string, int>> pictureFiles() {
    std::vector<std::pair<std::string, int>> all;
    for (int n = 0; n < userguide::PictureCount; ++n) {
        all.push_back({fileName(n), n});
        if (const char* windows = userguide::windowsFileFormat(n)) all.push_back({std::string(windows).substr(3), n});
    }
    return all;
}

}  // namespace

TEST(UserGuide, TopicsJumpThePageAndTheScrollSurvivesTabSwitches) {
    TestEnvironment env;
    gui::RecordingDialogs dialogs;
    auto window = env.openWindow();
    OV_UserGuide* guide = window->userGuide();
    ASSERT_EQ(guide->topicList->size(), userguide::TopicCount);
    EXPECT_EQ(Fl::scrollbar_size(), 13);
    EXPECT_EQ(guide->page->color(), fl_rgb_color(255, 255, 255));

    gui::click(window.get(), 245, 40);  // the "User Guide" tab
    gui::settle();
    ASSERT_TRUE(guide->visible());
    EXPECT_EQ(guide->page->yposition(), 0);  // unscrolled: Basic Setup
    EXPECT_EQ(guide->pictures[0]->picture->y(), 110);

    pick(guide, lineOf(guide, "    > usage 1"));
    EXPECT_EQ(guide->page->xposition(), -18);
    EXPECT_EQ(guide->page->yposition(), 7135);
    // Picture 22 (usage 1's page) now starts at the page's top edge.
    EXPECT_EQ(guide->pictures[21]->picture->y(), 70);

    // Spacers: no selection left, no scrolling.
    for (const char* spacer : {" ", "~~~~~~~~~~~~~~~"}) {
        pick(guide, lineOf(guide, spacer));
        EXPECT_EQ(guide->topicList->value(), 0) << '"' << spacer << '"';
        EXPECT_EQ(guide->page->yposition(), 7135);
    }

    gui::click(window.get(), 70, 40);  // Dashboard
    gui::settle();
    EXPECT_FALSE(guide->visible());
    gui::click(window.get(), 245, 40);
    gui::settle();
    EXPECT_EQ(guide->page->yposition(), 7135);

    pick(guide, lineOf(guide, " - Basic Setup"));
    EXPECT_EQ(guide->page->xposition(), -18);
    EXPECT_EQ(guide->page->yposition(), 0);
    EXPECT_EQ(guide->pictures[0]->picture->x(), 180 + 18);
    EXPECT_EQ(guide->pictures[0]->picture->y(), 110);
    EXPECT_TRUE(dialogs.texts(gui::RecordingDialogs::Alert).empty());
}

// Each main topic (" - Volume") lands on the page whose heading names it
// (docs/guide/guide.txt, "# Volume"): its picture, heading at its top, stands
// just below the page's top edge, neither scrolled off nor far down.
TEST(UserGuide, EveryMainTopicLandsOnThePageThatStartsItsSection) {
    std::map<std::string, int> pageOfWord;   // first word of a page's heading -> picture index
    std::istringstream source(TestEnvironment::readFile(TestEnvironment::sourceDir() + "/docs/guide/guide.txt"));
    int page = -1;
    for (std::string line; std::getline(source, line);) {
        if (line.size() > 1 && line[0] == '[') page = std::atoi(line.c_str() + 1) - 1;
        if (page >= 0 && line.compare(0, 2, "# ") == 0)
            pageOfWord.emplace(line.substr(2, line.find(' ', 2) - 2), page);
    }
    TestEnvironment env;
    gui::RecordingDialogs dialogs;
    auto window = env.openWindow();
    OV_UserGuide* guide = window->userGuide();
    gui::click(window.get(), 245, 40);
    gui::settle();
    int checked = 0;
    for (int line = 1; line <= userguide::TopicCount; ++line) {
        std::string text = guide->topicList->text(line);
        if (text.compare(0, 3, " - ") != 0) continue;
        std::string word = text.substr(3, text.find(' ', 3) - 3);
        ASSERT_EQ(pageOfWord.count(word), 1u) << text;
        pick(guide, line);
        const int below = guide->pictures[pageOfWord[word]]->picture->y() - guide->page->y();
        EXPECT_GE(below, 0) << text;
        EXPECT_LE(below, 60) << text;
        ++checked;
    }
    EXPECT_EQ(checked, 13);
}

// Clicking down the whole list as a user would: every line either jumps the
// page to its topic's offset or, for a spacer, leaves no selection and the
// page where it was.
TEST(UserGuide, ClickingEveryLineOfTheList) {
    TestEnvironment env;
    gui::RecordingDialogs dialogs;
    auto window = env.openWindow();
    OV_UserGuide* guide = window->userGuide();
    gui::click(window.get(), 245, 40);
    gui::settle();
    std::set<int> reached;
    for (int pass = 0; pass < 2; ++pass) {
        for (int y = 74; y < 474; y += 5) {
            int before = guide->page->yposition();
            gui::click(window.get(), 60, y);
            gui::settle();
            int line = guide->topicList->value();
            if (line == 0) {
                EXPECT_EQ(guide->page->yposition(), before) << "y " << y;
                continue;
            }
            ASSERT_FALSE(userguide::isSpacer(guide->topicList->text(line))) << "y " << y;
            EXPECT_EQ(guide->page->yposition(), userguide::topics[line - 1].offset) << "line " << line;
            EXPECT_EQ(guide->page->xposition(), -18);
            reached.insert(line);
        }
        guide->topicList->bottomline(userguide::TopicCount);  // the lines below the fold
        gui::settle();
    }
    int topics = 0;
    for (const userguide::Topic& t : userguide::topics) topics += t.offset >= 0;
    EXPECT_EQ(int(reached.size()), topics);
}

TEST(UserGuide, WithoutTheImageFolderThePageIsWhiteAndTheListWorks) {
    gui::openDisplay();
    Fl_Double_Window window(830, 600);
    OV_UserGuide* guide = new OV_UserGuide(5, 62, 820, 433, "guide", "/nonexistent/img");
    window.end();
    window.show();
    gui::settle();
    for (PictureGroup* p : guide->pictures) EXPECT_FALSE(p->loaded());
    EXPECT_EQ(guide->page->color(), fl_rgb_color(255, 255, 255));
    pick(guide, lineOf(guide, " - Local Preset"));
    EXPECT_EQ(guide->page->yposition(), 7935);
}

// Every picture exists at the size its name states, decodes, is not blank,
// and is shown by its box (centred, picture 1 in its taller group).
TEST(UserGuide, ThirtyPicturesAtTheirStatedSizes) {
    TestEnvironment env;
    std::string folder = TestEnvironment::sourceDir() + "/data/img";
    for (const auto& [name, n] : pictureFiles()) {
        const userguide::Picture& p = userguide::pictures[n];
        SCOPED_TRACE(name);
        int w = 0, h = 0;
        ASSERT_TRUE(statedSize(name, w, h));
        EXPECT_EQ(w, p.imageW);
        EXPECT_EQ(h, p.imageH);
        auto image = decode(folder + "/" + name);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->w(), w);
        EXPECT_EQ(image->h(), h);
        const uchar* data = reinterpret_cast<const uchar*>(image->data()[0]);
        std::set<int> colours;
        int d = image->d();
        for (int i = 0; i < w * h && colours.size() < 50; i += 7)
            colours.insert((data[i * d] << 16) | (data[i * d + 1] << 8) | data[i * d + 2]);
        EXPECT_GE(colours.size(), 50u) << "looks blank";
    }
    EXPECT_EQ(fileName(12), "ug_mic_pic_(410x338).jpg");
    EXPECT_EQ(fileName(18), "ug_delay_pic (519x56).png");

    gui::RecordingDialogs dialogs;
    auto window = env.openWindow();
    for (PictureGroup* p : window->userGuide()->pictures) EXPECT_TRUE(p->loaded());
    PictureGroup* first = window->userGuide()->pictures[0];
    EXPECT_EQ(first->y(), 90);
    EXPECT_EQ(first->h(), 397);
    EXPECT_EQ(first->picture->y(), 110);
    EXPECT_EQ(first->picture->h(), 377);
}

// The pictures and the markdown come from docs/guide/guide.txt; making them
// again must give what is committed (pixels compared, so a different zlib
// does not matter), or name what differs.
TEST(UserGuide, RegeneratingFromTheTextSourceReproducesTheCommittedFiles) {
    TestEnvironment env;
    std::string out = env.root + "/regenerated";
    std::string command = "mkdir -p '" + out + "' && '" DRAW_GUIDE "' --repo '" + TestEnvironment::sourceDir() +
                          "' --pedal '" PEDAL_PROGRAM "' --out '" + out + "' --markdown '" + out +
                          "/user-guide.md' > '" + out + "/tool.log' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << TestEnvironment::readFile(out + "/tool.log");

    std::string differing;
    for (const auto& [name, n] : pictureFiles()) {
        auto made = decode(out + "/" + name);
        auto committed = decode(TestEnvironment::sourceDir() + "/data/img/" + name);
        bool same = made && committed && made->w() == committed->w() && made->h() == committed->h() &&
                    made->d() == committed->d() &&
                    std::equal(made->data()[0], made->data()[0] + made->w() * made->h() * made->d(),
                               committed->data()[0]);
        if (!same) differing += " \"" + name + "\"";
    }
    if (TestEnvironment::readFile(out + "/user-guide.md") !=
        TestEnvironment::readFile(TestEnvironment::sourceDir() + "/docs/user-guide.md"))
        differing += " docs/user-guide.md";
    EXPECT_EQ(differing, "") << "differ from what scripts/make-guide.sh makes now; run it and commit";
}
