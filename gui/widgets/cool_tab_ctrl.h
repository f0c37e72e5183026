#pragma once

#include "gui/widgets/tab_geometry.h"

#include <QFont>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

// A row of owner-drawn tabs over a frame, keeping one page widget visible
// below them; a newly chosen page can slide in from the left. The control
// moves, shows and hides its pages but does not own them.
class CCoolTabCtrl final : public QWidget {
    Q_OBJECT
public:
    struct TabItem {
        QWidget* pPage = nullptr;
        QString strCaption;
        TabRect rcTab;
    };

    static constexpr int kSlideTimerId = 100;
    static constexpr int kSlideIntervalMs = 15;

    explicit CCoolTabCtrl(QWidget* parent = nullptr);
    ~CCoolTabCtrl() override;

    // Appends a tab for `page` (which may be null); its rectangle comes with
    // the next LayoutTabs. The page is moved to the frame area and hidden.
    TabItem* AddTab(QWidget* page, const QString& caption);
    void LayoutTabs();
    void SelectTab(int index);

    unsigned Style() const { return m_dwStyle; }
    void SetStyle(unsigned style) { m_dwStyle = style; }
    int FrameStyle() const { return m_nFrameStyle; }
    void SetFrameStyle(int frameStyle) { m_nFrameStyle = frameStyle; }
    int CurSel() const { return m_nCurSel; }
    int TabCount() const { return static_cast<int>(m_items.size()); }
    const TabItem& Item(int index) const { return *m_items[static_cast<std::size_t>(index)]; }
    TabRect ClientRect() const { return TabRect::FromQRect(rect()); }
    TabRect PageAreaRect() const { return PageArea(FrameArea(ClientRect(), m_dwStyle), m_nFrameStyle); }

    // Timer 100: one step of the slide-in. Public so a test can drive it tick by tick.
    void OnTimer(int timerId);
    bool IsSliding() const { return m_slideTimer.isActive(); }
    // The caption as painted in the tab's rectangle (cut with "..." when too wide).
    QString FittedCaption(int index) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void SwitchTo(int index);
    QString FitToTab(const TabItem& item) const;
    void PaintFrame(class QPainter& painter) const;
    void PaintTab(class QPainter& painter, const TabItem& item, bool selected) const;

    bool m_bEraseBkgnd = true;
    QFont m_font;
    int m_nCurSel = -1;
    unsigned m_dwStyle = TabStyle::TabstripBottom;
    int m_nFrameStyle = TabFrame::Single;
    std::vector<std::unique_ptr<TabItem>> m_items;
    QTimer m_slideTimer;
    SlideState m_slide;
};
