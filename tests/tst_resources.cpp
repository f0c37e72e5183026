#include "gui/app/my_corvix_app.h"
#include "core/config/program_dir.h"
#include "core/config/user_settings.h"
#include "core/config/window_language.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/translation.h"
#include "gui/resources/string_ids.h"
#include "gui/widgets/dialog_template.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

void WritePathInfo(const QString& lines)
{
    QFile file(ConfigIniPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(u"[PathInfo]\n%1\n"_s.arg(lines).toUtf8());
}

const StringResource* FindString(const ResourceTable& table, int id)
{
    const auto* end = table.strings + table.stringCount;
    const auto* found = std::find_if(table.strings, end, [id](const StringResource& s) { return s.id == id; });
    return found == end ? nullptr : found;
}

bool HasCjk(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x2E80 && c.unicode() <= 0x9FFF) || (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF);
    });
}

QStringList Placeholders(const QString& text)
{
    QStringList found;
    for (const QRegularExpressionMatch& match : QRegularExpression(u"%\\d"_s).globalMatch(text))
        found << match.captured();
    found.sort();
    return found;
}

QStringList Items(const char* items)
{
    return items ? QString::fromUtf8(items).split(u'\n') : QStringList();
}

} // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The user's remembered choice is this test program's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, GetProgramDir() + u"/settings"_s);
    }

    void cleanupTestCase()
    {
        QFile::remove(ConfigIniPath());
        UserSettings().clear();
    }

    void builtInSetHoldsTheQuotedTexts()
    {
        ResourceModule::UseBuiltIn();
        QCOMPARE(LoadString(Ids::MessageCaption), u"消息"_s);
        QCOMPARE(LoadString(Ids::TabParameters), u"参数设置"_s);
        QCOMPARE(LoadString(Ids::PortNotReady), u"串口未打开或者读取配置未完成！"_s);
        QCOMPARE(LoadString(Ids::LogRequestFailed), u"请求升级失败！退出升级...\n"_s);
        QCOMPARE(LoadString(Ids::Shutter60Hz).split(u';').size(), 12); // 11 items and the closing ';'
        for (const int id : {Ids::IconProgram, Ids::IconPortOpen, Ids::IconPortClosed})
            QCOMPARE(ResourceModule::Current().Icon(id).size(), QSize(32, 32));
        QVERIFY(LoadString(139).isEmpty()); // no such string
    }

    // The English set has every number of the Chinese one and nothing else,
    // of the same kind: each string with the same placeholders and line end,
    // each template with the same controls (ID, kind, states, icon) in the
    // same font, as many list items (the same where they are not words), and
    // no Chinese anywhere but the name of the Chinese language.
    // Every English word and place still finds what it stands for in the
    // Chinese layout: one left behind by a change of the layout would leave
    // Chinese words, or a control at its Chinese width, in the English window.
    void theEnglishWordsFitTheLayout()
    {
        std::vector<std::string> unmatched = UnmatchedTranslations(BuiltInResources(), EnglishTranslation());
        QCOMPARE(unmatched, std::vector<std::string>());
        const TextTranslation stale[] = {{"旧的", "old"}};
        const ControlPlace moved[] = {{142, kNoControlId, "没有", {.x = 1}}, {143, 9999, nullptr, {.cx = 2}}};
        unmatched = UnmatchedTranslations(BuiltInResources(), {nullptr, 0, stale, 1, moved, 2});
        QCOMPARE(unmatched, (std::vector<std::string>{"旧的", "the place in template 142 of 没有",
                                                      "the place in template 143 of 9999"}));
    }

    void theEnglishSetMatchesTheChineseOne()
    {
        const ResourceTable& zh = BuiltInResources();
        const ResourceTable& en = EnglishResources();
        QCOMPARE(en.stringCount, zh.stringCount);
        for (int i = 0; i < zh.stringCount; ++i) {
            const int id = zh.strings[i].id;
            const StringResource* english = FindString(en, id);
            QVERIFY2(english, qPrintable(u"string %1 has no English"_s.arg(id)));
            const QString chinese = QString::fromUtf8(zh.strings[i].text);
            const QString text = QString::fromUtf8(english->text);
            QVERIFY2(!text.isEmpty() && text.endsWith(u'\n') == chinese.endsWith(u'\n'), qPrintable(text));
            QCOMPARE(Placeholders(text), Placeholders(chinese));
            if (id == Ids::Shutter50Hz || id == Ids::Shutter60Hz)
                QCOMPARE(text.count(u';'), chinese.count(u';'));
            QVERIFY2(!HasCjk(text) || (id == Ids::LanguageChinese && text == chinese), qPrintable(text));
        }
        QCOMPARE(en.dialogCount, zh.dialogCount);
        QCOMPARE(en.iconCount, zh.iconCount);
        for (int d = 0; d < zh.dialogCount; ++d) {
            const DialogTemplate& chinese = zh.dialogs[d];
            const DialogTemplate& english = *ResourceModule::BuiltIn(UiLanguage::English).Dialog(chinese.id);
            QVERIFY(&english != &chinese);
            QCOMPARE(QString::fromUtf8(english.fontFace), QString::fromUtf8(chinese.fontFace));
            QCOMPARE(english.pointSize, chinese.pointSize);
            QCOMPARE(*english.caption == 0, *chinese.caption == 0);
            QVERIFY(!HasCjk(QString::fromUtf8(english.caption)));
            QCOMPARE(english.controlCount, chinese.controlCount);
            for (int c = 0; c < chinese.controlCount; ++c) {
                const ControlTemplate& zc = chinese.controls[c];
                const ControlTemplate& ec = english.controls[c];
                const QString where = u"template %1, control %2 (%3)"_s.arg(chinese.id).arg(c).arg(zc.id);
                QVERIFY2(ec.id == zc.id && ec.kind == zc.kind && ec.flags == zc.flags && ec.iconId == zc.iconId,
                         qPrintable(where));
                const QString text = QString::fromUtf8(ec.text);
                QVERIFY2(text.isEmpty() == (*zc.text == 0) && !HasCjk(text), qPrintable(where + u": "_s + text));
                const QStringList zhItems = Items(zc.items);
                const QStringList enItems = Items(ec.items);
                QCOMPARE(enItems.size(), zhItems.size());
                for (qsizetype i = 0; i < zhItems.size(); ++i)
                    QVERIFY2(HasCjk(zhItems[i]) ? !HasCjk(enItems[i]) : enItems[i] == zhItems[i],
                             qPrintable(where + u": "_s + enItems[i]));
            }
        }
    }

    // The test's own LangChn library beside it carries every text marked.
    // The window's language comes from config.ini's UiLanguage, else the
    // user's choice; English never loads LangChn (it holds the Chinese window).
    void languageChoosesTheResources_data()
    {
        QTest::addColumn<QString>("pathInfo");
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("caption");
        const QString marked = u"[LangChn]Orvane配置工具 V1.0"_s;
        const QString builtIn = u"Orvane配置工具 V1.0"_s;
        const QString english = u"Orvane Config V1.0"_s;
        QTest::newRow("Language=0 loads LangChn") << u"Language=0"_s << QString() << marked;
        QTest::newRow("Language=1 keeps the built-in set") << u"Language=1"_s << QString() << builtIn;
        QTest::newRow("Language=2 loads LangChn") << u"Language=2"_s << QString() << marked;
        QTest::newRow("no config.ini loads LangChn") << QString() << QString() << marked;
        QTest::newRow("UiLanguage=en, Language=0") << u"Language=0\nUiLanguage=en"_s << QString() << english;
        QTest::newRow("UiLanguage=EN, Language=1") << u"Language=1\nUiLanguage= EN"_s << u"zh"_s << english;
        QTest::newRow("UiLanguage=zh over the user's en") << u"UiLanguage=zh"_s << u"en"_s << marked;
        QTest::newRow("the user's en") << u"Language=1"_s << u"en"_s << english;
        QTest::newRow("an unknown UiLanguage: the user's en") << u"UiLanguage=fr"_s << u"en"_s << english;
        QTest::newRow("the user's zh") << u"Language=1"_s << u"zh"_s << builtIn;
    }

    void languageChoosesTheResources()
    {
        QFETCH(QString, pathInfo);
        QFETCH(QString, remembered);
        QFETCH(QString, caption);
        if (pathInfo.isNull())
            QFile::remove(ConfigIniPath());
        else
            WritePathInfo(pathInfo);
        UserSettings().clear();
        if (const std::optional<UiLanguage> user = UiLanguageFromKey(remembered))
            RememberUiLanguage(*user);
        ChooseResources();
        QCOMPARE(QString::fromUtf8(ResourceModule::Current().Dialog(Ids::DialogMain)->caption), caption);
        QCOMPARE(ResourceModule::Current().Language(),
                 caption.startsWith(u"Orvane Config"_s) ? UiLanguage::English : UiLanguage::Chinese);
        ResourceModule::UseBuiltIn();
    }

    void mapsDialogUnitsFromTheFont()
    {
        QCOMPARE(MapDialogRect(QRect(7, 72, 476, 175), QSize(6, 12)), QRect(10, 108, 714, 262));
        QCOMPARE(MapDialogRect(QRect(1, 1, 3, 7), QSize(6, 12)), QRect(1, 1, 4, 10));
    }

    void buildsTemplatesWithStatesAndItems()
    {
        ResourceModule::UseBuiltIn();
        QWidget dialog;
        CTemplateControls controls;
        QCOMPARE(controls.Build(&dialog, Ids::DialogMain), u"Orvane配置工具 V1.0"_s);
        const QSize base = controls.BaseUnits();
        QCOMPARE(dialog.size(), MapDialogRect(QRect(0, 0, 490, 270), base).size());

        auto* baud = controls.Item<QComboBox>(1008);
        QVERIFY(baud);
        QCOMPARE(baud->count(), 12);
        QCOMPARE(baud->itemText(8), u"43000"_s);
        QCOMPARE(baud->currentIndex(), -1);
        QVERIFY(baud->isEditable());
        QVERIFY(!controls.GetDlgItem(1009)->isEnabled());
        QVERIFY(controls.GetDlgItem(1001)->isHidden());
        QVERIFY(controls.GetDlgItem(1021)->isHidden());
        QVERIFY(!controls.GetDlgItem(1016)->isHidden());
        QCOMPARE(controls.GetDlgItem(1016)->geometry().topLeft(), MapDialogRect(QRect(416, 47, 48, 14), base).topLeft());
        QVERIFY(!controls.GetDlgItem(4242));

        QWidget page;
        CTemplateControls para;
        para.Build(&page, Ids::DialogPara);
        QVERIFY(para.Item<QCheckBox>(1015)->isTristate());
        QCOMPARE(para.Item<QComboBox>(1038)->count(), 15);
        QCOMPARE(para.Item<QComboBox>(1038)->itemText(7), u"0"_s);
        QVERIFY(para.Item<QLineEdit>(1070)->isReadOnly());
        QVERIFY(para.Item<QLineEdit>(1002)->validator());
        QVERIFY(!para.GetDlgItem(1043)->isEnabled());
        for (const int hidden : {1066, 1064, 1067, 1065, 1068, 1060})
            QVERIFY(para.GetDlgItem(hidden)->isHidden());
        // Every control of the page lies inside the page.
        for (const int id : {1002, 1034, 1046, 1062, 1069, 1071})
            QVERIFY(QRect(QPoint(0, 0), page.size()).contains(para.GetDlgItem(id)->geometry()));
    }
};

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
