#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <vector>

// Geometry of the owner-drawn tab control, apart from any painting so it is
// tested without pixels. Rectangles keep the edge rule the control was
// designed with: left and top inside, right and bottom just outside.
struct TabRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(QPoint p) const { return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom; }
    QRect ToQRect() const { return QRect(left, top, Width(), Height()); }
    static TabRect FromQRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
    bool operator==(const TabRect&) const = default;
};

namespace TabStyle {
constexpr unsigned TabstripTop = 0x01;
constexpr unsigned TabstripBottom = 0x02;
constexpr unsigned TabsEqualWidth = 0x04;
constexpr unsigned TabsSlideIn = 0x08;
} // namespace TabStyle

namespace TabFrame {
constexpr int Single = 1;
constexpr int Double = 2; // any other value draws no frame
} // namespace TabFrame

// The framed area below (or above) the tab strip.
TabRect FrameArea(const TabRect& client, unsigned style);
// Where pages sit: the frame area shrunk by frameStyle + 1 on every side.
TabRect PageArea(const TabRect& frame, int frameStyle);
// The 23-pixel strip the tabs are laid out in.
TabRect TabStrip(const TabRect& client, unsigned style);

// Tab rectangles for the given caption widths (text width + 9 each): touching
// tabs from the strip's left edge, or equal shares of the strip. When natural
// widths overflow the strip, a second pass squeezes the tabs.
std::vector<TabRect> LayoutTabRects(const TabRect& strip, const std::vector<int>& textWidths, bool equalWidth);

// Fits a caption into `available` pixels the way the control always has,
// counting in the GB2312 character set: cut 2 bytes (one Chinese character)
// at a time, at most ten times, then 2 more and "..." when anything was cut.
// Cuts fall on character boundaries, so no character is ever split.
QString FitCaption(const QString& caption, int available, const std::function<int(const QString&)>& textWidth);

// The slide-in of a newly selected page: eleven ticks of timer 100.
struct SlideState {
    int nCounter = 10;
    unsigned nStep = 0;
};
struct SlideFrame {
    TabRect pageRect;
    bool bShow = false;     // the first tick shows the page
    bool bFinished = false; // the last tick puts it in place and stops the timer
};
SlideFrame AdvanceSlide(SlideState& state, const TabRect& pageArea);
