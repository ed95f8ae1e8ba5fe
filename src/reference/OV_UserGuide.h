// The "User Guide" tab: a list of topics on the left and, on the right, one
// long white page of thirty pictures (the guide's pages) that the user
// scrolls; picking a topic jumps the page to it. The pictures and where they
// sit are listed in UserGuideLayout.h.
#pragma once

#include <FL/Fl_Group.H>

#include "reference/UserGuideLayout.h"

class Fl_Hold_Browser;
class Fl_Scroll;
class PictureGroup;

class OV_UserGuide : public Fl_Group {
public:
    // Uses only w: the page sits at (5, 62, w, 433). Pictures are read from
    // imageFolder (the working directory's "img" unless said otherwise); a
    // missing file leaves its picture empty.
    OV_UserGuide(int x, int y, int w, int h, const char* label = nullptr, const char* imageFolder = "img");
    ~OV_UserGuide() override;

    // Runs what picking the list's selected line does.
    void topicPicked();

    Fl_Hold_Browser* topicList;
    Fl_Scroll* page;
    // Scroll position of each topic line, indexed by line number 1 to 34
    // (index 0 unused); 0 for spacers.
    int topicOffset[userguide::TopicCount + 1];
    PictureGroup* pictures[userguide::PictureCount];
};
