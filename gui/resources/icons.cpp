// Icons drawn for this project as XPM images: 148 the program, 149 port
// open (green lamp), 150 port closed (red lamp).
#include "gui/resources/resource_types.h"

namespace {

const char* const kProgramIcon[] = {
    "32 32 5 1",
    ". c None",
    "b c #2b4a6f",
    "r c #9fb6cc",
    "l c #10263d",
    "w c #e8f0f8",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    ".....bbbb.......................",
    ".....bbbb.......................",
    "...bbbbbbbbbbbbbbbbbbbbbb.......",
    "...bbbbbbbbbbbbbbbbbbbbbb.......",
    "...bbbbbbbbbrrrrbbbbbbbbb.......",
    "...bbbbbbbrrrrrrrrbbbbbbb....b..",
    "...bbbbbbrrrllllrrrbbbbbb...bb..",
    "...bbbbbbrrllllllrrbbbbbb.bbbb..",
    "...bbbbbrrlllwwlllrrbbbbbbbbbb..",
    "...bbbbbrrllwwwwllrrbbbbbbbbbb..",
    "...bbbbbrrllwwwwllrrbbbbbbbbbb..",
    "...bbbbbrrlllwwlllrrbbbbbbbbbb..",
    "...bbbbbbrrllllllrrbbbbbb.bbbb..",
    "...bbbbbbrrrllllrrrbbbbbb...bb..",
    "...bbbbbbbrrrrrrrrbbbbbbb....b..",
    "...bbbbbbbbbrrrrbbbbbbbbb.......",
    "...bbbbbbbbbbbbbbbbbbbbbb.......",
    "...bbbbbbbbbbbbbbbbbbbbbb.......",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};

// The lamp both port icons share; only their colours differ.
#define ORVANE_LAMP_ROWS \
    "................................", \
    "................................", \
    "................................", \
    "............eeeeeeee............", \
    "..........eeeeeeeeeeee..........", \
    "........eeecccccccccceee........", \
    ".......eeecccccccccccceee.......", \
    "......eeccccccccccccccccee......", \
    ".....eeccccccccccccccccccee.....", \
    ".....eeccccccccccccccccccee.....", \
    "....eeccccccccccccccccccccee....", \
    "....eccccccccchcccccccccccce....", \
    "...eeccccccchhhccccccccccccee...", \
    "...eeccccccchhhccccccccccccee...", \
    "...eecccccchhhhccccccccccccee...", \
    "...eeccccccccccccccccccccccee...", \
    "...eeccccccccccccccccccccccee...", \
    "...eeccccccccccccccccccccccee...", \
    "...eeccccccccccccccccccccccee...", \
    "...eeccccccccccccccccccccccee...", \
    "....ecccccccccccccccccccccce....", \
    "....eeccccccccccccccccccccee....", \
    ".....eeccccccccccccccccccee.....", \
    ".....eeccccccccccccccccccee.....", \
    "......eeccccccccccccccccee......", \
    ".......eeecccccccccccceee.......", \
    "........eeecccccccccceee........", \
    "..........eeeeeeeeeeee..........", \
    "............eeeeeeee............", \
    "................................", \
    "................................", \
    "................................",

const char* const kPortOpenIcon[] = {
    "32 32 4 1",
    ". c None",
    "e c #1e6b27",
    "c c #3cb44b",
    "h c #ffffff",
    ORVANE_LAMP_ROWS
};

const char* const kPortClosedIcon[] = {
    "32 32 4 1",
    ". c None",
    "e c #7a1b15",
    "c c #d63a2f",
    "h c #ffffff",
    ORVANE_LAMP_ROWS
};

} // namespace

extern const IconResource kIcons[] = {
    {148, kProgramIcon},
    {149, kPortOpenIcon},
    {150, kPortClosedIcon},
};
extern const int kIconCount = sizeof kIcons / sizeof kIcons[0];
