#include "gui/widgets/cool_tab_ctrl.h"

#include <QAccessible>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QStringList kCaptions = {u"参数设置"_s, u" OSD "_s, u"系统升级"_s};

// 6 pixels per GB2312 byte: a Chinese character is 12, a letter 6.
int ByteWidth(const QString& text)
{
    int width = 0;
    for (const QChar ch : text)
        width += ch.unicode() < 128 ? 6 : 12;
    return width;
}

// A control as the main dialog builds it: three labelled pages, then the top strip with sliding.
struct Fixture {
    QWidget host;
    CCoolTabCtrl* control = new CCoolTabCtrl(&host);
    QList<QLabel*> pages;

    explicit Fixture(unsigned style = TabStyle::TabstripTop | TabStyle::TabsSlideIn, QSize size = QSize(500, 300))
    {
        control->resize(size);
        for (const QString& caption : kCaptions) {
            auto* page = new QLabel(caption.trimmed() + u" 页"_s, control);
            pages.append(page);
            control->AddTab(page, caption);
        }
        control->SetStyle(style);
        control->LayoutTabs();
    }

    void FinishSlide()
    {
        for (int tick = 0; tick < 11 && control->IsSliding(); ++tick)
            control->OnTimer(CCoolTabCtrl::kSlideTimerId);
    }

    QPoint TabCentre(int index) const { return control->Item(index).rcTab.ToQRect().center(); }
    QRect PageArea() const { return control->PageAreaRect().ToQRect(); }
};

} // namespace

class TestTabCtrl : public QObject {
    Q_OBJECT

private slots:
    void areasForBothStripsAndFrames()
    {
        const TabRect client{0, 0, 400, 200};
        QCOMPARE(FrameArea(client, TabStyle::TabstripTop), (TabRect{2, 23, 398, 198}));
        QCOMPARE(FrameArea(client, TabStyle::TabstripBottom), (TabRect{2, 2, 398, 177}));
        // The bottom flag is tested first.
        QCOMPARE(FrameArea(client, TabStyle::TabstripTop | TabStyle::TabstripBottom), (TabRect{2, 2, 398, 177}));
        QCOMPARE(PageArea(TabRect{2, 23, 398, 198}, TabFrame::Single), (TabRect{4, 25, 396, 196}));
        QCOMPARE(PageArea(TabRect{2, 23, 398, 198}, TabFrame::Double), (TabRect{5, 26, 395, 195}));
        QCOMPARE(TabStrip(client, TabStyle::TabstripTop), (TabRect{2, 0, 394, 23}));
        QCOMPARE(TabStrip(client, TabStyle::TabstripBottom), (TabRect{6, 177, 394, 199}));
    }

    void tabsAreTextWidthPlusNineAndTouch()
    {
        Fixture f;
        const QFontMetrics metrics(f.control->font());
        int x = 2;
        for (int i = 0; i < 3; ++i) {
            const TabRect& r = f.control->Item(i).rcTab;
            QCOMPARE(r.left, x);
            QCOMPARE(r.right - r.left + 1, metrics.horizontalAdvance(kCaptions[i]) + 9);
            QCOMPARE(r.top, 0);
            QCOMPARE(r.bottom, 23);
            x = r.right + 1;
            QCOMPARE(f.control->FittedCaption(i), kCaptions[i]); // natural widths always fit
        }
        for (QLabel* page : f.pages)
            QCOMPARE(page->geometry(), f.PageArea());
    }

    void equalWidthAndOverflowLayouts()
    {
        const TabRect strip{2, 0, 92, 23};
        const std::vector<TabRect> equal = LayoutTabRects(strip, {100, 10, 40}, true);
        QCOMPARE(equal.size(), 3u);
        QCOMPARE(equal[0], (TabRect{2, 0, 31, 23}));
        QCOMPARE(equal[2], (TabRect{62, 0, 91, 23}));

        // 60, 20 and 50 natural widths overflow 90 pixels: the second pass gives
        // the average (30) to a tab that follows a narrower one.
        const std::vector<TabRect> squeezed = LayoutTabRects(strip, {51, 11, 41}, false);
        QCOMPARE(squeezed[0], (TabRect{2, 0, 32, 23}));  // after the last tab's 50: natural 60 > 50 -> 30
        QCOMPARE(squeezed[1], (TabRect{33, 0, 53, 23})); // 30 >= 20 -> natural 20
        QCOMPARE(squeezed[2], (TabRect{54, 0, 84, 23})); // 20 < 50 -> 30
    }

    void captionsAreCutByCharactersWithEllipsis_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("available");
        QTest::addColumn<QString>("fitted");
        QTest::newRow("fits") << u"参数设置"_s << 48 << u"参数设置"_s;
        QTest::newRow("two cuts then one more") << u"参数设置"_s << 30 << u"参..."_s;
        QTest::newRow("ascii loses two letters a cut") << u" OSD "_s << 20 << u" ..."_s;
        QTest::newRow("never half a character") << u"参a数"_s << 12 << u"..."_s;
        QTest::newRow("at most ten cuts") << u"一二三四五六七八九十甲乙丙丁戊"_s << 0 << u"一二三四..."_s;
    }

    void captionsAreCutByCharactersWithEllipsis()
    {
        QFETCH(QString, caption);
        QFETCH(int, available);
        QFETCH(QString, fitted);
        QCOMPARE(FitCaption(caption, available, ByteWidth), fitted);
    }

    void equalWidthTabsCutLongCaptions()
    {
        Fixture f(TabStyle::TabstripTop | TabStyle::TabsEqualWidth, QSize(100, 120));
        QVERIFY(f.control->FittedCaption(0).endsWith(u"..."_s));
        QVERIFY(f.control->FittedCaption(0).size() < kCaptions[0].size() + 3);
    }

    void slideMovesThePageInElevenTicks()
    {
        Fixture f;
        f.control->SelectTab(1);
        QCOMPARE(f.control->CurSel(), 1);
        QVERIFY(f.control->IsSliding());
        QVERIFY(f.pages[1]->isHidden()); // shown by the first tick
        const QRect area = f.PageArea();
        const int w = area.width();
        const int step = w / 10;

        f.control->OnTimer(CCoolTabCtrl::kSlideTimerId);
        QVERIFY(!f.pages[1]->isHidden());
        QCOMPARE(f.pages[1]->geometry(), QRect(11 - w, area.top(), w - 1, area.height()));
        for (int k = 9; k >= 1; --k) {
            f.control->OnTimer(CCoolTabCtrl::kSlideTimerId);
            QCOMPARE(f.pages[1]->x(), 1 - step * k);
            QVERIFY(f.control->IsSliding());
        }
        f.control->OnTimer(CCoolTabCtrl::kSlideTimerId);
        QCOMPARE(f.pages[1]->geometry(), area);
        QVERIFY(!f.control->IsSliding());
    }

    void selectTabEdgeCases()
    {
        Fixture f(TabStyle::TabstripTop);
        f.control->SelectTab(0);
        QVERIFY(f.pages[0]->isVisible() || !f.pages[0]->isHidden());
        f.control->SelectTab(0); // the current index: nothing happens
        QVERIFY(!f.pages[0]->isHidden());

        f.control->SelectTab(7); // past the last tab: the current page is hidden, nothing else shown
        QCOMPARE(f.control->CurSel(), 0);
        for (QLabel* page : f.pages)
            QVERIFY(page->isHidden());

        f.control->AddTab(nullptr, u"空"_s);
        f.control->LayoutTabs();
        f.control->SelectTab(3); // a tab without a page cannot become current
        QCOMPARE(f.control->CurSel(), 0);
        f.control->SelectTab(2);
        QCOMPARE(f.control->CurSel(), 2);
        QVERIFY(!f.pages[2]->isHidden());
    }

    void clicksSwitchOnlyOnAnotherTab()
    {
        Fixture f;
        f.control->SelectTab(0);
        f.FinishSlide();

        QTest::mouseClick(f.control, Qt::LeftButton, {}, f.TabCentre(0)); // the current tab
        QCOMPARE(f.control->CurSel(), 0);
        QVERIFY(!f.control->IsSliding());

        const TabRect& last = f.control->Item(2).rcTab;
        QTest::mouseClick(f.control, Qt::LeftButton, {}, QPoint(last.right + 5, 10)); // beside the tabs
        QTest::mouseClick(f.control, Qt::LeftButton, {}, QPoint(f.TabCentre(1).x(), 23)); // the bottom edge is outside
        QCOMPARE(f.control->CurSel(), 0);

        QTest::mouseClick(f.control, Qt::LeftButton, {}, QPoint(f.control->Item(1).rcTab.left, 0)); // left/top edges are inside
        QCOMPARE(f.control->CurSel(), 1);
        QVERIFY(f.pages[0]->isHidden());
        f.FinishSlide();
        QCOMPARE(f.pages[1]->geometry(), f.PageArea());

        // The second click of a double click arrives as a double-click event and does nothing.
        QTest::mouseDClick(f.control, Qt::LeftButton, {}, f.TabCentre(2));
        QCOMPARE(f.control->CurSel(), 1);
    }

    void fastSecondClickDuringASlideShowsTheNewPage()
    {
        Fixture f;
        f.control->SelectTab(0);
        f.FinishSlide();
        QTest::mouseClick(f.control, Qt::LeftButton, {}, f.TabCentre(1));
        f.control->OnTimer(CCoolTabCtrl::kSlideTimerId);
        f.control->OnTimer(CCoolTabCtrl::kSlideTimerId);
        QTest::mouseClick(f.control, Qt::LeftButton, {}, f.TabCentre(2));
        QVERIFY(f.pages[1]->isHidden());
        f.FinishSlide();
        QVERIFY(!f.control->IsSliding());
        QVERIFY(!f.pages[2]->isHidden());
        QCOMPARE(f.pages[2]->geometry(), f.PageArea());
    }

    void slideRunsOnItsOwnTimer()
    {
        Fixture f;
        f.host.show();
        f.control->SelectTab(2);
        QTRY_VERIFY(!f.control->IsSliding());
        QCOMPARE(f.pages[2]->geometry(), f.PageArea());
    }

    void tabsAreReachableByAssistiveTechnology()
    {
        Fixture f;
        f.host.show();
        f.control->SelectTab(0);
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f.control);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::PageTabList);
        QVERIFY(list->childCount() >= 3);
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface* tab = list->child(i);
            QCOMPARE(tab->role(), QAccessible::PageTab);
            QCOMPARE(tab->text(QAccessible::Name), kCaptions[i].trimmed());
            QCOMPARE(tab->state().selected, i == 0);
            QCOMPARE(list->indexOfChild(tab), i);
            QCOMPARE(tab->parent(), list);
        }
        QAccessibleActionInterface* press = list->child(2)->actionInterface();
        QVERIFY(press);
        press->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(f.control->CurSel(), 2);
        QVERIFY(list->child(2)->state().selected);
    }

    void paintsTheSelectedTabJoinedToTheFrame()
    {
        Fixture f(TabStyle::TabstripTop, QSize(420, 160));
        f.control->SelectTab(0);
        const QImage image = f.control->grab().toImage();
        const QColor face = f.control->palette().color(QPalette::Button);
        const TabRect selected = f.control->Item(0).rcTab;
        const TabRect other = f.control->Item(1).rcTab;
        // Under the selected tab the frame's top line (y = 23) is covered by the tab's face;
        // under another tab it stays white.
        QCOMPARE(image.pixelColor(selected.left + 10, 23), face);
        QCOMPARE(image.pixelColor(other.left + 10, 23), QColor(Qt::white));
        // The unselected tab sits 2 pixels lower: its white top edge is at y = 2.
        QCOMPARE(image.pixelColor(other.left + 10, 2), QColor(Qt::white));
        QCOMPARE(image.pixelColor(selected.left + 10, 0), QColor(Qt::white));
        // The frame's right edge is black on the last column inside it.
        QCOMPARE(image.pixelColor(420 - 3, 100), QColor(Qt::black));

        const QByteArray docs = qgetenv("ORVANE_SCREENSHOT_DIR");
        if (!docs.isEmpty()) {
            Fixture shot(TabStyle::TabstripTop | TabStyle::TabsSlideIn, QSize(420, 160));
            shot.control->SelectTab(0);
            shot.FinishSlide();
            QVERIFY(shot.control->grab().save(QString::fromLocal8Bit(docs) + u"/tab-control.png"_s));
        }
    }
};

QTEST_MAIN(TestTabCtrl)
#include "tst_tab_ctrl.moc"
