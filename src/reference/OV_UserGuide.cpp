#include "reference/OV_UserGuide.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Scroll.H>
#include <FL/fl_draw.H>

#include <cstdio>

#include "reference/PictureGroup.h"

using namespace userguide;

namespace {

void topicPicked_cb(Fl_Widget*, void* data) { static_cast<OV_UserGuide*>(data)->topicPicked(); }

// Two successive steps toward black with weight 0.67.
Fl_Color avg2(Fl_Color c) {
    for (int i = 0; i < 2; ++i) c = fl_color_average(c, FL_BLACK, 0.67f);
    return c;
}

}  // namespace

OV_UserGuide::OV_UserGuide(int, int, int w, int, const char* label, const char* imageFolder)
    : Fl_Group(5, 62, w, 433, label), topicList(nullptr), page(nullptr), topicOffset{}, pictures{} {
    topicList = new Fl_Hold_Browser(10, 70, 150, 407);
    topicList->color(avg2(FL_DARK3));
    topicList->textsize(13);
    topicList->textcolor(FL_WHITE);
    topicList->scrollbar_size(0);
    Fl::scrollbar_size(13);
    for (int line = 1; line <= TopicCount; ++line) {
        const Topic& topic = topics[line - 1];
        topicList->add(topic.text);
        topicOffset[line] = topic.offset < 0 ? 0 : topic.offset;
    }
    topicList->callback(topicPicked_cb, this);

    page = new Fl_Scroll(161, 70, 660, 407);
    page->box(FL_NO_BOX);
    page->color(fl_rgb_color(255, 255, 255));
    page->type(Fl_Scroll::VERTICAL);
    page->scrollbar_size(13);
    // The toolkit counts scroll positions from the top left corner of what
    // the page holds. An empty mark at the page's own corner makes that the
    // page's origin, so scroll_to(-18, offset) lays the page 18 pixels to the
    // right and `offset` pixels up from where it was built, as the offsets
    // were measured (otherwise picture 1's corner, 19 and 20 pixels in,
    // would be the origin and every jump would land 20 pixels low).
    new Fl_Box(FL_NO_BOX, 161, 70, 1, 1, nullptr);
    char path[1024];
    for (int n = 0; n < PictureCount; ++n) {
        const Picture& p = userguide::pictures[n];
        std::snprintf(path, sizeof path, userguide::fileFormat(n), imageFolder);
        pictures[n] = new PictureGroup(p.x, p.groupY, p.w, p.groupH, p.x, p.y, p.w, p.h, path);
    }
    page->end();
    end();
}

OV_UserGuide::~OV_UserGuide() {
    // The pictures go with the page.
    remove(topicList);
    remove(page);
    delete topicList;
    delete page;
}

void OV_UserGuide::topicPicked() {
    int line = topicList->value();
    if (line < 1 || line > TopicCount) return;
    if (isSpacer(topicList->text(line))) {
        topicList->deselect();
        return;
    }
    page->scroll_to(-18, topicOffset[line]);
}
