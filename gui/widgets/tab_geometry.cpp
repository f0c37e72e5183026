#include "gui/widgets/tab_geometry.h"

#include <QStringEncoder>

using namespace Qt::StringLiterals;

namespace {

constexpr int kStripHeight = 23;
constexpr int kCaptionPadding = 9;

} // namespace

TabRect FrameArea(const TabRect& client, unsigned style)
{
    if (style & TabStyle::TabstripBottom)
        return {client.left + 2, client.top + 2, client.right - 2, client.bottom - kStripHeight};
    if (style & TabStyle::TabstripTop)
        return {client.left + 2, client.top + kStripHeight, client.right - 2, client.bottom - 2};
    return client;
}

TabRect PageArea(const TabRect& frame, int frameStyle)
{
    const int inset = frameStyle + 1;
    return {frame.left + inset, frame.top + inset, frame.right - inset, frame.bottom - inset};
}

TabRect TabStrip(const TabRect& client, unsigned style)
{
    if (style & TabStyle::TabstripBottom)
        return {client.left + 6, client.bottom - kStripHeight, client.right - 6, client.bottom - 1};
    return {client.left + 2, client.top, client.right - 6, client.top + kStripHeight};
}

std::vector<TabRect> LayoutTabRects(const TabRect& strip, const std::vector<int>& textWidths, bool equalWidth)
{
    std::vector<TabRect> rects;
    if (textWidths.empty())
        return rects;
    const int count = static_cast<int>(textWidths.size());
    const int equal = strip.Width() / count;

    int x = strip.left;
    std::vector<int> natural;
    for (const int textWidth : textWidths) {
        natural.push_back(textWidth + kCaptionPadding);
        const int width = equalWidth ? equal : natural.back();
        rects.push_back({x, strip.top, x + width - 1, strip.bottom});
        x += width;
    }
    if (equalWidth || x - strip.left <= strip.Width())
        return rects;

    // Too wide: start again at the left edge; a tab that follows a narrower
    // one gets the average width, any other keeps its natural width.
    const int average = static_cast<int>(static_cast<unsigned>(strip.Width()) / static_cast<unsigned>(count));
    int previous = rects.back().right - rects.back().left + 1;
    x = strip.left;
    for (int i = 0; i < count; ++i) {
        const int width = previous < natural[i] ? average : natural[i];
        rects[i] = {x, strip.top, x + width, strip.bottom};
        x += width + 1;
        previous = width;
    }
    return rects;
}

QString FitCaption(const QString& caption, int available, const std::function<int(const QString&)>& textWidth)
{
    if (textWidth(caption) <= available)
        return caption;

    // Where each character ends: its byte offset in GB18030 and its index in the text.
    struct End {
        qsizetype bytes;
        qsizetype index;
    };
    std::vector<End> ends;
    QStringEncoder encoder("GB18030");
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < caption.size();) {
        const qsizetype units = caption[i].isHighSurrogate() && i + 1 < caption.size() ? 2 : 1;
        bytes += QByteArray(encoder(caption.mid(i, units))).size();
        i += units;
        ends.push_back({bytes, i});
    }
    // The longest prefix of at most `limit` bytes, and its length in bytes.
    const auto prefix = [&](qsizetype limit) -> std::pair<QString, qsizetype> {
        std::pair<QString, qsizetype> result{QString(), 0};
        for (const End& end : ends) {
            if (end.bytes > limit)
                break;
            result = {caption.left(end.index), end.bytes};
        }
        return result;
    };

    std::pair<QString, qsizetype> fitted{caption, bytes};
    for (int cuts = 0; cuts < 10 && textWidth(fitted.first) > available; ++cuts)
        fitted = prefix(fitted.second - 2);
    return prefix(fitted.second - 2).first + u"..."_s;
}

SlideFrame AdvanceSlide(SlideState& state, const TabRect& pageArea)
{
    const int width = pageArea.Width();
    SlideFrame frame;
    if (state.nCounter >= 10) {
        // First tick: the page appears with its right edge at x = 10.
        state.nStep = static_cast<unsigned>(width) / 10;
        state.nCounter = 9;
        frame.bShow = true;
        frame.pageRect = {11 - width, pageArea.top, 11 - width + width - 1, pageArea.bottom};
    } else if (state.nCounter >= 1) {
        const int left = 1 - static_cast<int>(state.nStep) * state.nCounter;
        frame.pageRect = {left, pageArea.top, left + width - 1, pageArea.bottom};
        --state.nCounter;
    } else {
        state.nCounter = 10;
        frame.bFinished = true;
        frame.pageRect = pageArea;
    }
    return frame;
}
