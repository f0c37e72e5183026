// The window in English and in Chinese: every text in the language chosen,
// every text fitting its control, the Chinese layout where it always was,
// the same bytes on the line in both, and the choice of the language.
#include "core/config/window_language.h"
#include "core/protocol/link_protocol.h"
#include "gui/main_window/about_dlg.h"
#include "gui/main_window/language_menu.h"
#include "gui/main_window/serial_settings.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "gui/widgets/cool_tab_ctrl.h"
#include "serial/serial_port.h"
#include "tests/support/dialog_bench.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTextEdit>

using namespace Qt::StringLiterals;

namespace {

const QString kEnglish = u"UiLanguage=en"_s;

bool IsCjk(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

bool HasCjk(const QString& text)
{
    const QList<uint> points = text.toUcs4();
    return std::any_of(points.begin(), points.end(), [](uint c) { return IsCjk(char32_t(c)); });
}

// Everything a widget shows or tells: caption, list items, tooltips, title.
QStringList ShownTexts(const QWidget* widget)
{
    QStringList texts = {widget->windowTitle(), widget->toolTip(), widget->accessibleName(), widget->statusTip()};
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        texts << label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        texts << button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(widget))
        texts << group->title();
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        texts << edit->text() << edit->placeholderText();
    if (const auto* log = qobject_cast<const QTextEdit*>(widget))
        texts << log->toPlainText();
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i) << combo->itemData(i, Qt::ToolTipRole).toString();
    }
    if (const auto* tabs = qobject_cast<const CCoolTabCtrl*>(widget)) {
        for (int i = 0; i < tabs->TabCount(); ++i)
            texts << tabs->Item(i).strCaption;
    }
    return texts;
}

// The texts of the window and of every widget in it that hold a CJK character.
QStringList CjkTexts(const QWidget* window)
{
    QStringList found;
    QList<const QWidget*> widgets = {window};
    for (const QWidget* child : window->findChildren<QWidget*>())
        widgets << child;
    for (const QWidget* widget : widgets) {
        for (const QString& text : ShownTexts(widget)) {
            if (HasCjk(text))
                found << widget->objectName() + u": "_s + text;
        }
    }
    return found;
}

// The menu's entries, submenus included, as "title > entry".
QStringList MenuTexts(const QMenu* menu, const QString& path = QString())
{
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        texts << path + action->text();
        if (action->menu())
            texts << MenuTexts(action->menu(), path + action->text() + u" > "_s);
    }
    return texts;
}

// The main window's context menu as the user opens it, its entries read and closed again.
QStringList ContextMenuTexts(CMyCorvixDlg& dialog, QString* checkedLanguage)
{
    QStringList texts;
    QTimer::singleShot(0, &dialog, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            texts = MenuTexts(menu);
            for (const QAction* action : menu->actions()) {
                if (action->menu()) {
                    for (const QAction* language : action->menu()->actions())
                        if (language->isChecked())
                            *checkedLanguage = language->text();
                }
            }
            menu->close();
        }
    });
    const QPoint at(40, 40);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, dialog.mapToGlobal(at));
    QApplication::sendEvent(&dialog, &event);
    return texts;
}

// Why `text` does not fit in `widget`, or nothing when it does.
QString Misfit(const QWidget* widget, const QString& text)
{
    if (text.isEmpty())
        return QString();
    const QFontMetrics metrics = widget->fontMetrics();
    const QStyle* style = widget->style();
    int need = metrics.horizontalAdvance(QString(text).remove(u'&'));
    int room = widget->width();
    if (qobject_cast<const QCheckBox*>(widget)) {
        need += style->pixelMetric(QStyle::PM_IndicatorWidth) + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    } else if (qobject_cast<const QPushButton*>(widget)) {
        need += style->pixelMetric(QStyle::PM_ButtonMargin) + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    } else if (qobject_cast<const QGroupBox*>(widget)) {
        need += 2 * metrics.averageCharWidth();
    } else if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        room = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width();
    }
    const bool tallEnough = !qobject_cast<const QLabel*>(widget) || metrics.height() <= widget->height();
    if (need <= room && tallEnough)
        return QString();
    return u"%1 \"%2\": needs %3 px, has %4 px%5"_s.arg(widget->objectName(), text).arg(need).arg(room).arg(
        tallEnough ? QString() : u", too low"_s);
}

// The texts a control may show: its own, its list items, and those the
// program gives it later (string ids by template and control).
QStringList TextsOf(const QWidget* widget, int templateId, int controlId)
{
    static const QMap<std::pair<int, int>, QList<int>> kLater = {
        {{Ids::DialogMain, 1016}, {Ids::OpenPort, Ids::ClosePort}},
        {{Ids::DialogMain, 1072}, {Ids::ConfigSaved, Ids::ReadFailed, Ids::SettingsImported}},
        {{Ids::DialogPara, 1015}, {Ids::Backlight, Ids::AutoBacklight, Ids::ManualBacklight}},
        {{Ids::DialogPara, 1035}, {Ids::AutoGain, Ids::ManualGain}},
        {{Ids::DialogPara, 1066}, {Ids::TimeValue, Ids::TimePeriod}},
        {{Ids::DialogOsd, 1052}, {Ids::ExitMenu, Ids::EnterMenu}},
    };
    QStringList texts;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    } else {
        texts = ShownTexts(widget).mid(4); // not its tooltip
    }
    for (const int id : kLater.value({templateId, controlId}))
        texts << LoadString(id);
    if (templateId == Ids::DialogPara && controlId == 1034)
        texts << LoadString(Ids::Shutter50Hz).split(u';') << LoadString(Ids::Shutter60Hz).split(u';');
    if (templateId == Ids::DialogMain && controlId == 1033) {
        LineState line;
        line.strDevice = u"/dev/ttyUSB0"_s;
        texts << OpenStatusText(line, LoadString(Ids::StateOpen)) + LoadString(Ids::Reconnected)
              << ClosedStatusText(line, LoadString(Ids::StateClosed)) << LoadString(Ids::PortClosed)
              << OpenFailureStatus(line, LoadString(Ids::OpenFailed), {line.strDevice, u"Permission denied"_s, true});
    }
    return texts;
}

// The widgets a template made on `page`, in its order (created in that order, named by control ID).
QList<QWidget*> TemplateWidgets(const QWidget* page, const DialogTemplate& tmpl)
{
    QList<QWidget*> widgets;
    const QList<QWidget*> children = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    qsizetype next = 0;
    for (int i = 0; i < tmpl.controlCount; ++i) {
        const QString name = u"control%1"_s.arg(tmpl.controls[i].id);
        while (next < children.size() && children[next]->objectName() != name)
            ++next;
        widgets << (next < children.size() ? children[next++] : nullptr);
    }
    return widgets;
}

struct TemplatedWindow {
    const QWidget* widget;
    int templateId;
};

QList<TemplatedWindow> Windows(CMyCorvixDlg& dialog, const CAboutDlg& about)
{
    return {{&dialog, Ids::DialogMain},
            {&dialog.PagePara(), Ids::DialogPara},
            {&dialog.PageOsd(), Ids::DialogOsd},
            {&dialog.PageUpdate(), Ids::DialogUpdate},
            {&about, Ids::DialogAbout}};
}

// Every text of every control that does not fit, and every tab caption cut short.
QStringList Misfits(CMyCorvixDlg& dialog)
{
    const CAboutDlg about(&dialog);
    QStringList misfits;
    for (const TemplatedWindow& window : Windows(dialog, about)) {
        const DialogTemplate& tmpl = *ResourceModule::Current().Dialog(window.templateId);
        const QList<QWidget*> widgets = TemplateWidgets(window.widget, tmpl);
        for (int i = 0; i < tmpl.controlCount; ++i) {
            if (!widgets[i]) {
                misfits << u"template %1: control %2 not found"_s.arg(window.templateId).arg(i);
                continue;
            }
            for (const QString& text : TextsOf(widgets[i], window.templateId, tmpl.controls[i].id))
                if (const QString misfit = Misfit(widgets[i], text); !misfit.isEmpty())
                    misfits << u"template %1, %2"_s.arg(window.templateId).arg(misfit);
        }
    }
    const CCoolTabCtrl& tabs = dialog.TabCtrl();
    for (int i = 0; i < tabs.TabCount(); ++i) {
        if (tabs.FittedCaption(i) != tabs.Item(i).strCaption)
            misfits << u"tab \"%1\" shows \"%2\""_s.arg(tabs.Item(i).strCaption, tabs.FittedCaption(i));
    }
    return misfits;
}

// A camera that takes the first upgrade request after its restart and flashes quickly.
CameraTiming QuickCamera()
{
    CameraTiming timing;
    timing.nRestartSilenceMs = 100;
    timing.nUpgradeWindowMs = 600000;
    timing.nFlashMs = 50;
    return timing;
}

// What the camera receives in one session of the window: open and read,
// a save with its read-back, an upgrade of one image.
std::string SessionOnTheLine(const QString& pathInfo, QStringList* boxes)
{
    DialogBench bench(pathInfo, {}, QuickCamera());
    if (!bench.OpenAndRead())
        return "<no read>";
    const auto cycles = [&] {
        const std::string received = bench.camera.Camera().Received();
        std::size_t count = 0;
        for (std::size_t at = received.find(CycleRequests()); at != std::string::npos;
             at = received.find(CycleRequests(), at + 1))
            ++count;
        return count;
    };
    bench.dialog->OnSave();
    bench.ReceivedBeforeMarker(); // the save is on the line
    bench.dialog->PagePara().OnSave(); // the page's own save reads the camera back
    if (!WaitUntil([&] { return cycles() == 2 && bench.camera.Camera().Received().ends_with("w 01 00F9\r\n"); }))
        return "<no read-back>";
    if (!bench.StartUpgrade() || !WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000))
        return "<no upgrade>";
    for (const MessageBoxRecorder::Box& box : bench.boxes.Boxes())
        *boxes << box.text + u" / "_s + box.caption;
    // The camera is released, restarted and read again.
    WaitUntil([&] { return bench.camera.Camera().Received().ends_with(CycleRequests() + "w 01 00F9\r\n"); });
    return bench.camera.Camera().Received();
}

} // namespace

class TestWindowLanguage : public QObject {
    Q_OBJECT

private slots:
    // The Chinese window: every control where its template puts it, in
    // pixels from the dialog units, as before there was an English one.
    void theChineseLayoutIsTheTemplates()
    {
        DialogBench bench;
        CMyCorvixDlg& dialog = *bench.dialog;
        const CAboutDlg about(&dialog);
        const ResourceModule chinese = ResourceModule::BuiltIn(UiLanguage::Chinese);
        for (const TemplatedWindow& window : Windows(dialog, about)) {
            const DialogTemplate& tmpl = *chinese.Dialog(window.templateId);
            QCOMPARE(ResourceModule::Current().Dialog(window.templateId), &tmpl);
            const QSize base = DialogBaseUnits(QFontMetrics(DialogFont(tmpl.fontFace, tmpl.pointSize)));
            if (window.templateId != Ids::DialogPara && window.templateId != Ids::DialogOsd
                && window.templateId != Ids::DialogUpdate) // pages take the tab control's page area
                QCOMPARE(window.widget->size(), MapDialogRect(QRect(0, 0, tmpl.cx, tmpl.cy), base).size());
            const QList<QWidget*> widgets = TemplateWidgets(window.widget, tmpl);
            for (int i = 0; i < tmpl.controlCount; ++i) {
                const ControlTemplate& control = tmpl.controls[i];
                QVERIFY(widgets[i]);
                QRect expected = MapDialogRect(QRect(control.x, control.y, control.cx, control.cy), base);
                if (qobject_cast<QComboBox*>(widgets[i]))
                    expected.setHeight(widgets[i]->height()); // one line; the template's is the dropped list's
                QCOMPARE(widgets[i]->geometry(), expected);
            }
        }
        QRect tabArea = dialog.GetDlgItem(1001)->geometry();
        tabArea.setBottom(tabArea.bottom() + 20);
        QCOMPARE(dialog.TabCtrl().geometry(), tabArea);
    }

    // The dialog font is a CJK font that also carries Latin letters, and
    // measures ideographs as ideographs, so the checks below mean something.
    void theDialogFontMeasuresBothScripts()
    {
        DialogBench bench;
        const QFont font = bench.dialog->font();
        const QFontMetrics metrics(font);
        qInfo() << "dialog font:" << QFontInfo(font).family() << QFontInfo(font).pixelSize() << "px";
        QVERIFY(metrics.inFontUcs4(0x4E2D) && metrics.inFont(u'A'));
        QVERIFY(metrics.horizontalAdvance(u"中"_s) > metrics.horizontalAdvance(u"n"_s));
        QCOMPARE(metrics.horizontalAdvance(u"中文中文"_s), 2 * metrics.horizontalAdvance(u"中文"_s));
    }

    void everyTextFitsItsControl_data()
    {
        QTest::addColumn<QString>("pathInfo");
        QTest::newRow("Chinese") << QString();
        QTest::newRow("English") << kEnglish;
    }

    void everyTextFitsItsControl()
    {
        QFETCH(QString, pathInfo);
        DialogBench bench(pathInfo);
        const QStringList misfits = Misfits(*bench.dialog);
        QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join(u'\n')));
    }

    // Walked through open, read, save, the boxes and the upgrade, the English
    // window shows no Chinese but the name of the Chinese language.
    void theEnglishWindowShowsNoChinese()
    {
        DialogBench bench(kEnglish, {}, QuickCamera());
        CMyCorvixDlg& dialog = *bench.dialog;
        QCOMPARE(dialog.windowTitle(), u"Orvane Config V1.0"_s);
        QStringList cjk = CjkTexts(&dialog);

        dialog.OnSave(); // before a read
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"The port is not open, or the configuration has not been read!\nThe port is not open"_s);
        QCOMPARE(bench.boxes.Boxes()[0].caption, u"Message"_s);
        QVERIFY(bench.OpenAndRead());
        QCOMPARE(Text(dialog, 1033), u"COM1,open,115200,N,8,1"_s);
        dialog.OnSave();
        QCOMPARE(Text(dialog, 1072), u"Configuration saved!"_s);
        cjk << CjkTexts(&dialog);
        {
            const CAboutDlg about(&dialog);
            cjk << CjkTexts(&about);
        }

        QString checked;
        const QStringList menu = ContextMenuTexts(dialog, &checked);
        QVERIFY(menu.contains(u"&Language > 中文"_s));
        QCOMPARE(checked, u"English"_s);
        for (const QString& entry : menu) {
            if (HasCjk(QString(entry).remove(u"中文"_s)))
                cjk << u"menu: "_s + entry;
        }

        QVERIFY(bench.StartUpgrade());
        QVERIFY(WaitUntil([&] { return bench.boxes.Boxes().size() == 2; }, 20000));
        QCOMPARE(bench.boxes.Boxes()[1].text, u"Upgrade succeeded!\n"_s);
        cjk << CjkTexts(&dialog);
        // The log's stamps are those of the Chinese window.
        static const QRegularExpression stamp(u"^\\d\\d:\\d\\d:\\d\\d  \\S"_s);
        const QString log = dialog.PageUpdate().Item<QTextEdit>(1057)->toPlainText();
        for (const QString& line : log.split(u'\n', Qt::SkipEmptyParts))
            QVERIFY2(stamp.match(line).hasMatch(), qPrintable(line));
        QVERIFY(log.contains(u"Sent 5 bytes in "_s));
        QVERIFY2(cjk.isEmpty(), qPrintable(cjk.join(u'\n')));
    }

    // A read that fails and a camera that reports an error say so in English.
    void theEnglishWindowsFailuresAreEnglish()
    {
        CameraFaults faults;
        faults.bMute = true;
        DialogBench mute(kEnglish, faults);
        mute.boxes.SetAnswer(true); // the box's offer: search every rate
        mute.dialog->OnOpenClosePort();
        QVERIFY(WaitUntil([&] { return mute.boxes.Boxes().size() == 2; }, 20000));
        const MessageBoxRecorder::Box failed = mute.boxes.Boxes()[0];
        QVERIFY2(failed.text.startsWith(u"Reading the configuration failed!\nRegister 0x1F did not answer"_s),
                 qPrintable(failed.text));
        QCOMPARE(failed.offer, u"Find camera"_s);
        QVERIFY(mute.boxes.Boxes()[1].text.startsWith(u"No camera answered at any baud rate."_s));
        QStringList cjk = CjkTexts(mute.dialog.get());

        CameraFaults reporting;
        reporting.strUpgradeError = "E001";
        DialogBench bench(kEnglish, reporting, QuickCamera());
        QVERIFY(bench.OpenAndRead());
        QVERIFY(bench.StartUpgrade());
        QVERIFY(WaitUntil([&] { return !bench.dialog->UpgradeMode(); }, 20000));
        const QStringList log = LogLines(bench.dialog->PageUpdate());
        QVERIFY2(log.contains(u"The camera reports error E001, leaving the upgrade..."_s), qPrintable(log.join(u'\n')));
        for (const MessageBoxRecorder::Box& box : bench.boxes.Boxes())
            if (HasCjk(box.text + box.caption))
                cjk << box.text;
        cjk << CjkTexts(bench.dialog.get());
        QVERIFY2(cjk.isEmpty(), qPrintable(cjk.join(u'\n')));
    }

    // The window's language changes what it says, never what it sends.
    void bothLanguagesSendTheSameBytes()
    {
        QStringList chineseBoxes;
        QStringList englishBoxes;
        const std::string chinese = SessionOnTheLine(QString(), &chineseBoxes);
        const std::string english = SessionOnTheLine(kEnglish, &englishBoxes);
        QVERIFY2(chinese.starts_with(CycleRequests() + "w 01 00F9\r\n"), chinese.c_str());
        QVERIFY(chinese.ends_with("R" + FormatReadCommand(0x1F).toStdString() + "w 00 FFFF\r\nw 01 FFFF\r\n"
                                  + CycleRequests() + "w 01 00F9\r\n"));
        QCOMPARE(english, chinese);
        QCOMPARE(chineseBoxes, QStringList{u"升级成功！\n / 消息"_s});
        QCOMPARE(englishBoxes, QStringList{u"Upgrade succeeded!\n / Message"_s});
    }

    // The context menu's choice is remembered for the next start and said
    // in the language chosen; config.ini's UiLanguage wins over it.
    void theLanguageChoiceAppliesAtTheNextStart()
    {
        DialogBench bench;
        QString checked;
        QVERIFY(ContextMenuTexts(*bench.dialog, &checked).contains(u"Language / 语言(&L) > English"_s));
        QCOMPARE(checked, u"中文"_s);
        QCOMPARE(StartUiLanguage(), UiLanguage::Chinese);

        ChooseWindowLanguage(UiLanguage::Chinese); // the one in use: nothing to say
        QVERIFY(bench.boxes.Boxes().isEmpty());
        ChooseWindowLanguage(UiLanguage::English);
        QCOMPARE(bench.boxes.Boxes().size(), 1);
        QCOMPARE(bench.boxes.Boxes()[0].text, u"The window will be in English from the next start."_s);
        QCOMPARE(RememberedUiLanguage(), UiLanguage::English);
        QCOMPARE(StartUiLanguage(), UiLanguage::English);

        bench.camera.WriteConfig(u"[PathInfo]\nUiLanguage=zh\n"_s);
        QCOMPARE(StartUiLanguage(), UiLanguage::Chinese);
        ChooseWindowLanguage(UiLanguage::English);
        QCOMPARE(bench.boxes.Boxes().size(), 2);
        QVERIFY(bench.boxes.Boxes()[1].text.contains(u"UiLanguage"_s));
        RememberUiLanguage(UiLanguage::Chinese);
    }

    void screenshotsInEnglish_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("tab");
        QTest::newRow("main window") << u"main-window-en.png"_s << 0;
        QTest::newRow("image page") << u"image-page-en.png"_s << 0;
        QTest::newRow("OSD page") << u"osd-page-en.png"_s << 1;
        QTest::newRow("upgrade page") << u"upgrade-page-en.png"_s << 2;
    }

    void screenshotsInEnglish()
    {
        SKIP_UNLESS_SCREENSHOTS("*-en.png");
        QFETCH(QString, fileName);
        QFETCH(int, tab);
        DialogBench bench(kEnglish, {}, QuickCamera());
        // The image page with every rule at work: a user-defined exposure of
        // 10 to 20 ms, manual gain and backlight compensation, custom white balance.
        if (fileName == u"image-page-en.png"_s) {
            for (const auto& [reg, value] : {std::pair{0x0C, 0x19}, {0x0D, 0x01}, {0x0E, 0x32}, {0x0F, 0x02},
                                             {0x08, 0x05}, {0x1D, 0x01}, {0x1C, 0x07}})
                bench.camera.Camera().SetRegister(reg, std::uint8_t(value));
        }
        QVERIFY(bench.ShowReadAndGrab(fileName, [&] {
            bench.dialog->TabCtrl().SelectTab(tab);
            if (tab == 2) { // in the middle of a transfer
                QVERIFY(bench.StartUpgrade());
                QVERIFY(WaitUntil([&] { return bench.dialog->PageUpdate().Item<QProgressBar>(1056)->value() > 0; }));
            }
        }));
        if (tab == 2)
            QVERIFY(WaitUntil([&] { return !bench.boxes.Boxes().isEmpty(); }, 20000));
    }
};

QTEST_MAIN(TestWindowLanguage)
#include "tst_window_language.moc"
