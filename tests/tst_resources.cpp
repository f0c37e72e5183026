#include "gui/app/my_corvix_app.h"
#include "core/config/program_dir.h"
#include "gui/resources/resource_module.h"
#include "gui/resources/string_ids.h"
#include "gui/widgets/dialog_template.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void WriteLanguage(const QString& value)
{
    QFile file(ConfigIniPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(value.isNull() ? QByteArray() : (u"[PathInfo]\nLanguage=%1\n"_s.arg(value)).toUtf8());
}

} // namespace

class TestResources : public QObject {
    Q_OBJECT

private slots:
    void cleanupTestCase() { QFile::remove(ConfigIniPath()); }

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

    // The test's own LangChn library beside it carries every text marked.
    void languageChoosesTheLibrary_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("nLanguage");
        QTest::addColumn<bool>("marked");
        QTest::newRow("0 loads LangChn") << u"0"_s << 0 << true;
        QTest::newRow("1 keeps the built-in set") << u"1"_s << 1 << false;
        QTest::newRow("2 loads LangChn") << u"2"_s << 0 << true;
        QTest::newRow("no config.ini loads LangChn") << QString() << 0 << true;
    }

    void languageChoosesTheLibrary()
    {
        QFETCH(QString, language);
        QFETCH(int, nLanguage);
        QFETCH(bool, marked);
        WriteLanguage(language);
        if (language.isNull())
            QFile::remove(ConfigIniPath());
        bool loaded = false;
        QCOMPARE(ChooseResources(&loaded), nLanguage);
        QCOMPARE(loaded, marked);
        QCOMPARE(LoadString(Ids::MessageCaption), marked ? u"[LangChn]消息"_s : u"消息"_s);
        QCOMPARE(QString::fromUtf8(ResourceModule::Current().Dialog(Ids::DialogMain)->caption),
                 marked ? u"[LangChn]Orvane配置工具 V1.0"_s : u"Orvane配置工具 V1.0"_s);
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
