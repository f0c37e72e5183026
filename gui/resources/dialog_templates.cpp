// Dialog templates 140 (about), 142 (main), 143 (image parameters),
// 144 (OSD) and 145 (upgrade), with their initial list items.
#include "gui/resources/template_data.h"

namespace {

using namespace template_data;

const ControlTemplate kAbout[] = {
    {S, K::IconPicture, "", 11, 17, 21, 20, 0, nullptr, 148},
    {S, K::Label, RES_TEXT("Orvane Config 1.0 版"), 40, 10, 119, 8, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Orvane 高清摄像机 RS-485 配置工具"), 40, 25, 135, 8, 0, nullptr, 0},
    {1, K::PushButton, RES_TEXT("确定"), 178, 7, 50, 16, DEF, nullptr, 0},
};

const ControlTemplate kMain[] = {
    {S, K::GroupBox, RES_TEXT("串口设置"), 7, 7, 469, 60, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("串口号"), 17, 22, 25, 8, 0, nullptr, 0},
    {1007, K::ComboDropDown, "", 45, 19, 44, 87, 0, "COM1\nCOM2\nCOM3\nCOM4\nCOM5", 0},
    {S, K::Label, RES_TEXT("波特率"), 109, 22, 25, 8, 0, nullptr, 0},
    {1008, K::ComboDropDown, "", 138, 19, 44, 100, 0,
     "300\n600\n1200\n2400\n4800\n9600\n19200\n38400\n43000\n56000\n57600\n115200", 0},
    {S, K::Label, RES_TEXT("校验位"), 201, 22, 25, 8, 0, nullptr, 0},
    {1009, K::ComboDropDown, "", 231, 19, 44, 55, D, "NONE\nODD\nEVEN", 0},
    {S, K::Label, RES_TEXT("数据位"), 293, 22, 25, 8, 0, nullptr, 0},
    {1010, K::ComboDropDown, "", 324, 19, 44, 59, D, "8\n7\n6", 0},
    {S, K::Label, RES_TEXT("停止位"), 385, 22, 25, 8, 0, nullptr, 0},
    {1013, K::ComboDropDown, "", 417, 19, 44, 51, D, "0\n1\n2", 0},
    {1016, K::PushButton, RES_TEXT("打开串口"), 416, 47, 48, 14, 0, nullptr, 0},
    {1017, K::IconPicture, "", 290, 41, 20, 20, H, nullptr, 150},
    {S, K::Label, RES_TEXT("当前状态"), 17, 48, 33, 8, 0, nullptr, 0},
    {1033, K::Label, "", 53, 43, 228, 17, 0, nullptr, 0},
    {1001, K::GroupBox, RES_TEXT("静态"), 7, 72, 476, 175, H, nullptr, 0},
    {1021, K::PushButton, RES_TEXT("保存"), 418, 249, 42, 14, H, nullptr, 0},
    {1072, K::Label, "", 367, 76, 116, 8, 0, nullptr, 0},
};

const ControlTemplate kPara[] = {
    {S, K::GroupBox, RES_TEXT("色彩"), 7, 4, 128, 106, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("亮度"), 15, 19, 50, 8, 0, nullptr, 0},
    {1002, K::Edit, "", 85, 17, 40, 12, NUM, nullptr, 0},
    {1014, K::CheckBox, RES_TEXT("对比度"), 15, 35, 66, 10, 0, nullptr, 0},
    {1003, K::Edit, "", 85, 34, 40, 12, NUM, nullptr, 0},
    {S, K::Label, RES_TEXT("色度"), 15, 53, 50, 8, 0, nullptr, 0},
    {1004, K::Edit, "", 85, 51, 40, 12, NUM, nullptr, 0},
    {S, K::Label, RES_TEXT("饱和度"), 15, 70, 50, 8, 0, nullptr, 0},
    {1005, K::Edit, "", 85, 68, 40, 12, NUM, nullptr, 0},
    {1015, K::ThreeStateCheckBox, RES_TEXT("背光补偿"), 15, 87, 68, 10, 0, nullptr, 0},
    {1006, K::Edit, "", 85, 86, 40, 12, NUM, nullptr, 0},

    {S, K::GroupBox, RES_TEXT("曝光"), 141, 4, 176, 106, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("快门"), 149, 19, 40, 8, 0, nullptr, 0},
    {1034, K::ComboDropList, "", 199, 17, 80, 120, 0, nullptr, 0},
    {1066, K::Label, RES_TEXT("时间值"), 149, 36, 30, 8, H, nullptr, 0},
    {1064, K::Edit, "", 180, 34, 30, 12, H, nullptr, 0},
    {1067, K::Label, "~", 213, 36, 6, 8, H, nullptr, 0},
    {1065, K::Edit, "", 221, 34, 30, 12, H, nullptr, 0},
    {1068, K::Label, "0 ms ~ 40 ms", 255, 36, 58, 8, H, nullptr, 0},
    {1035, K::CheckBox, RES_TEXT("增益"), 149, 53, 48, 10, 0, nullptr, 0},
    {1036, K::Edit, "", 199, 51, 40, 12, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("光圈"), 149, 70, 40, 8, 0, nullptr, 0},
    {1037, K::ComboDropList, "", 199, 68, 60, 60, 0, RES_TEXT("非自动\n自动"), 0},
    {S, K::Label, RES_TEXT("曝光补偿"), 149, 87, 40, 8, 0, nullptr, 0},
    {1038, K::ComboDropList, "", 199, 85, 60, 120, 0, "-7\n-6\n-5\n-4\n-3\n-2\n-1\n0\n1\n2\n3\n4\n5\n6\n7", 0},

    {S, K::GroupBox, RES_TEXT("版本号"), 7, 114, 310, 32, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("硬件："), 15, 129, 26, 8, 0, nullptr, 0},
    {1070, K::Edit, "", 43, 127, 60, 12, RO, nullptr, 0},
    {S, K::Label, RES_TEXT("软件："), 149, 129, 26, 8, 0, nullptr, 0},
    {1071, K::Edit, "", 177, 127, 60, 12, RO, nullptr, 0},

    {S, K::GroupBox, RES_TEXT("其它"), 323, 4, 142, 142, 0, nullptr, 0},
    {1039, K::CheckBox, RES_TEXT("镜像"), 331, 18, 40, 10, 0, nullptr, 0},
    {1041, K::CheckBox, RES_TEXT("负像"), 381, 18, 40, 10, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("白平衡"), 331, 36, 36, 8, 0, nullptr, 0},
    {1042, K::ComboDropList, "", 365, 34, 52, 120, 0,
     RES_TEXT("禁止\n自动\n晴天\n阴天\n家居\n办公\n夜晚\n自定义"), 0},
    {1043, K::PushButton, RES_TEXT("触发"), 421, 33, 38, 14, D, nullptr, 0},
    {S, K::Label, RES_TEXT("日夜模式"), 331, 55, 36, 8, 0, nullptr, 0},
    {1044, K::ComboDropList, "", 365, 53, 52, 60, 0, RES_TEXT("白天\n自动\n夜晚"), 0},
    {1074, K::PushButton, RES_TEXT("切换"), 421, 52, 38, 14, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("锐化等级"), 331, 74, 36, 8, 0, nullptr, 0},
    {1046, K::ComboDropList, "", 365, 72, 52, 120, 0, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15", 0},
    {S, K::Label, RES_TEXT("情景配置"), 331, 93, 36, 8, 0, nullptr, 0},
    {1025, K::ComboDropList, "", 365, 91, 70, 90, 0,
     RES_TEXT("晴天户外\n阴天户外\n晴天室内\n阴天室内\n较暗环境"), 0},
    {1060, K::CheckBox, RES_TEXT("情景配置"), 331, 108, 60, 10, H, nullptr, 0},

    {1069, K::PushButton, RES_TEXT("默认"), 331, 126, 50, 14, 0, nullptr, 0},
    {1062, K::PushButton, RES_TEXT("保存"), 405, 126, 50, 14, 0, nullptr, 0},
};

const ControlTemplate kOsd[] = {
    {1051, K::CheckBox, RES_TEXT("开启"), 7, 7, 32, 10, H | D, nullptr, 0},
    {1050, K::CheckBox, RES_TEXT("闪烁"), 7, 17, 32, 10, H, nullptr, 0},
    {S, K::Label, RES_TEXT("水平位置"), 7, 31, 33, 8, H | D, nullptr, 0},
    {1047, K::Edit, "", 7, 41, 40, 14, H | D, nullptr, 0},
    {S, K::Label, RES_TEXT("颜色"), 7, 66, 17, 8, H | D, nullptr, 0},
    {1049, K::ComboDropDown, "", 7, 75, 48, 103, H | D,
     RES_TEXT("白色\n黄色\n紫罗兰\n红色\n灰色\n绿色\n蓝色\n黑色"), 0},
    {S, K::Label, RES_TEXT("垂直位置"), 7, 102, 33, 8, H | D, nullptr, 0},
    {1048, K::Edit, "", 7, 111, 40, 14, H | D, nullptr, 0},
    {S, K::Label, RES_TEXT("语言"), 53, 11, 17, 8, H, nullptr, 0},
    {1027, K::ComboDropList, "", 91, 7, 48, 103, H, RES_TEXT("英文\n中文"), 0},
    {1052, K::PushButton, RES_TEXT("进入菜单"), 171, 46, 50, 14, 0, nullptr, 0},
    {1011, K::PushButton, RES_TEXT("上"), 181, 76, 33, 14, 0, nullptr, 0},
    {1012, K::PushButton, RES_TEXT("左"), 139, 100, 33, 14, 0, nullptr, 0},
    {1026, K::PushButton, RES_TEXT("确定"), 181, 100, 33, 14, 0, nullptr, 0},
    {1055, K::PushButton, RES_TEXT("右"), 223, 100, 33, 14, 0, nullptr, 0},
    {1020, K::PushButton, RES_TEXT("下"), 181, 128, 33, 14, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("视频制式"), 373, 21, 33, 8, 0, nullptr, 0},
    {1028, K::ComboDropList, "", 411, 17, 48, 103, 0, nullptr, 0},
    {1061, K::PushButton, RES_TEXT("保存"), 427, 117, 37, 14, H, nullptr, 0},
};

const ControlTemplate kUpdate[] = {
    {S, K::Label, RES_TEXT("升级文件："), 10, 12, 60, 8, 0, nullptr, 0},
    {1053, K::Edit, "", 72, 10, 290, 12, RO, nullptr, 0},
    {1054, K::PushButton, RES_TEXT("浏览..."), 368, 9, 50, 14, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("升级包CRC检验："), 10, 30, 60, 8, 0, nullptr, 0},
    {1022, K::Edit, "", 72, 28, 60, 12, RO, nullptr, 0},
    {S, K::Label, RES_TEXT("升级进度："), 10, 48, 60, 8, 0, nullptr, 0},
    {1056, K::ProgressBar, "", 72, 47, 290, 10, 0, nullptr, 0},
    {1057, K::RichEdit, "", 10, 64, 404, 90, RO, nullptr, 0},
    {1058, K::PushButton, RES_TEXT("升级"), 420, 64, 45, 14, 0, nullptr, 0},
    {1063, K::PushButton, RES_TEXT("清除"), 420, 84, 45, 14, 0, nullptr, 0},
    {1073, K::PushButton, RES_TEXT("重启"), 420, 104, 45, 14, 0, nullptr, 0},
};

} // namespace

extern const DialogTemplate kDialogs[] = {
    {140, RES_TEXT("关于 Corvix"), 235, 55, "宋体", 9, kAbout, Count(kAbout)},
    {142, RES_TEXT("Orvane配置工具 V1.0"), 490, 270, "宋体", 9, kMain, Count(kMain)},
    {143, "", 480, 168, "宋体", 9, kPara, Count(kPara)},
    {144, "", 480, 149, "宋体", 9, kOsd, Count(kOsd)},
    {145, "", 480, 168, "宋体", 9, kUpdate, Count(kUpdate)},
};
extern const int kDialogCount = sizeof kDialogs / sizeof kDialogs[0];
