#include "gui/widgets/cool_tab_ctrl.h"

#include "gui/widgets/cool_tab_accessible.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace {

// Lines end one pixel short of their last point, as line drawing on the
// original platform did; every segment here is straight or at 45 degrees.
void DrawPolyline(QPainter& painter, const QColor& color, std::initializer_list<QPoint> points)
{
    painter.setPen(QPen(color, 0));
    const QPoint* previous = nullptr;
    for (const QPoint& point : points) {
        if (previous && point != *previous) {
            const QPoint step((point.x() > previous->x()) - (point.x() < previous->x()),
                              (point.y() > previous->y()) - (point.y() < previous->y()));
            painter.drawLine(*previous, point - step);
        }
        previous = &point;
    }
}

void Fill(QPainter& painter, const TabRect& r, const QColor& color)
{
    painter.fillRect(r.ToQRect(), color);
}

QFont CaptionFont()
{
    QFont font;
    font.setFamilies({u"宋体"_s, u"SimSun"_s, u"WenQuanYi Micro Hei"_s, u"Noto Sans CJK SC"_s});
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

CCoolTabCtrl::CCoolTabCtrl(QWidget* parent) : QWidget(parent), m_font(CaptionFont())
{
    setFont(m_font);
    m_slideTimer.setInterval(kSlideIntervalMs);
    connect(&m_slideTimer, &QTimer::timeout, this, [this] { OnTimer(kSlideTimerId); });
    InstallCoolTabAccessibility();
}

CCoolTabCtrl::~CCoolTabCtrl() = default;

CCoolTabCtrl::TabItem* CCoolTabCtrl::AddTab(QWidget* page, const QString& caption)
{
    auto item = std::make_unique<TabItem>();
    item->pPage = page;
    item->strCaption = caption;
    if (page) {
        page->setGeometry(FrameArea(ClientRect(), m_dwStyle).ToQRect());
        page->hide();
    }
    m_items.push_back(std::move(item));
    return m_items.back().get();
}

void CCoolTabCtrl::LayoutTabs()
{
    if (m_items.empty())
        return;
    const QFontMetrics metrics(m_font);
    std::vector<int> textWidths;
    for (const auto& item : m_items)
        textWidths.push_back(metrics.horizontalAdvance(item->strCaption));
    const std::vector<TabRect> rects =
        LayoutTabRects(TabStrip(ClientRect(), m_dwStyle), textWidths, m_dwStyle & TabStyle::TabsEqualWidth);
    const QRect pageArea = PageAreaRect().ToQRect();
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        m_items[i]->rcTab = rects[i];
        if (m_items[i]->pPage)
            m_items[i]->pPage->setGeometry(pageArea);
    }
    update();
}

void CCoolTabCtrl::SelectTab(int index)
{
    if (index != m_nCurSel)
        SwitchTo(index);
}

void CCoolTabCtrl::SwitchTo(int index)
{
    if (m_nCurSel >= 0 && m_nCurSel < TabCount() && m_items[m_nCurSel]->pPage)
        m_items[m_nCurSel]->pPage->hide();
    if (index < 0 || index >= TabCount() || !m_items[index]->pPage)
        return; // the old page stays hidden and the current index stays
    m_nCurSel = index;
    if (m_dwStyle & TabStyle::TabsSlideIn) {
        // A switch during a running slide starts the slide over, so the new
        // page is shown by the first tick and ends in its page area.
        m_slide = SlideState{};
        m_slideTimer.start();
    } else {
        m_items[index]->pPage->show();
    }
    if (QAccessible::isActive())
        NotifyCoolTabSelected(this, index);
}

void CCoolTabCtrl::OnTimer(int timerId)
{
    if (timerId != kSlideTimerId || m_nCurSel < 0 || m_nCurSel >= TabCount() || !m_items[m_nCurSel]->pPage)
        return;
    QWidget* page = m_items[m_nCurSel]->pPage;
    const SlideFrame frame = AdvanceSlide(m_slide, PageAreaRect());
    if (frame.bShow) {
        m_bEraseBkgnd = false;
        page->show();
    }
    if (frame.bFinished) {
        m_slideTimer.stop();
        m_bEraseBkgnd = true;
    }
    page->setGeometry(frame.pageRect.ToQRect());
}

void CCoolTabCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        for (int i = 0; i < TabCount(); ++i) {
            if (m_items[i]->rcTab.Contains(p)) {
                if (i != m_nCurSel)
                    SwitchTo(i);
                update();
                break;
            }
        }
    }
    QWidget::mousePressEvent(event);
}

void CCoolTabCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double click does nothing (it is not a press).
    event->ignore();
}

void CCoolTabCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_bEraseBkgnd = true;
    LayoutTabs();
}

QString CCoolTabCtrl::FittedCaption(int index) const
{
    return FitToTab(*m_items[static_cast<std::size_t>(index)]);
}

QString CCoolTabCtrl::FitToTab(const TabItem& item) const
{
    // The caption's room: 5 pixels in from the left edge, 2 from the right.
    const QFontMetrics metrics(m_font);
    return FitCaption(item.strCaption, (item.rcTab.right - 2) - (item.rcTab.left + 5),
                      [&metrics](const QString& text) { return metrics.horizontalAdvance(text); });
}

void CCoolTabCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_bEraseBkgnd)
        painter.fillRect(rect(), palette().color(QPalette::Button));
    painter.setFont(m_font);
    PaintFrame(painter);
    for (int i = 0; i < TabCount(); ++i)
        PaintTab(painter, *m_items[i], i == m_nCurSel);
}

void CCoolTabCtrl::PaintFrame(QPainter& painter) const
{
    if (m_nFrameStyle != TabFrame::Single && m_nFrameStyle != TabFrame::Double)
        return;
    const auto outline = [&painter](const TabRect& r, const QColor& topLeft, const QColor& bottomRight) {
        // Top and left edges, then bottom and right edges on the last row and column inside r.
        DrawPolyline(painter, topLeft, {{r.left, r.bottom - 1}, {r.left, r.top}, {r.right, r.top}});
        DrawPolyline(painter, bottomRight, {{r.left, r.bottom - 1}, {r.right - 1, r.bottom - 1}, {r.right - 1, r.top - 1}});
    };
    TabRect r = FrameArea(ClientRect(), m_dwStyle);
    outline(r, Qt::white, Qt::black);
    if (m_nFrameStyle == TabFrame::Double) {
        r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        outline(r, palette().color(QPalette::Button), palette().color(QPalette::Dark));
    }
}

void CCoolTabCtrl::PaintTab(QPainter& painter, const TabItem& item, bool selected) const
{
    const QColor face = palette().color(QPalette::Button);
    const QColor shadow = palette().color(QPalette::Dark);
    int l = item.rcTab.left;
    int t = item.rcTab.top;
    int r = item.rcTab.right;
    int b = item.rcTab.bottom;

    if (m_dwStyle & TabStyle::TabstripTop) {
        if (selected) {
            Fill(painter, {l, t, r, b + 1}, face); // covers the frame line below the tab
        } else {
            t += 2;
            Fill(painter, {l, t, r, b}, face);
        }
        DrawPolyline(painter, Qt::white, {{l, b}, {l, t + 2}, {l + 2, t}, {r, t}});
        DrawPolyline(painter, shadow, {{r - 1, t}, {r - 1, b}});
        DrawPolyline(painter, Qt::black, {{r, t + 1}, {r, b}});
    } else {
        if (selected) {
            Fill(painter, {l, t - 2, r, b}, face);
            t -= 1;
        } else {
            b -= 1;
        }
        Fill(painter, item.rcTab, face);
        DrawPolyline(painter, Qt::white, {{l, t}, {l, b - 1}});
        DrawPolyline(painter, shadow, {{l + 1, b - 2}, {l + 1, b - 1}, {r - 1, b - 1}});
        DrawPolyline(painter, shadow, {{r - 2, b - 2}, {r - 1, b - 2}, {r - 1, t - 1}});
        DrawPolyline(painter, Qt::black, {{l + 2, b}, {r - 2, b}, {r, b - 2}});
        DrawPolyline(painter, Qt::black, {{r, t}, {r, b - 1}});
        t -= 1;
    }

    if (item.strCaption.isEmpty())
        return;
    r -= 2;
    l += 5;
    t += 5;
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(QRect(l, t, r - l, b - t), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, FitToTab(item));
}
