// The dialog templates in English: the same numbers, controls and list items
// as the Chinese ones, widened or moved where the English words need room.
// The font stays the Chinese one, so a dialog unit is the same number of
// pixels in both languages.
#include "gui/resources/template_data.h"

namespace {

using namespace template_data;

const ControlTemplate kAbout[] = {
    {S, K::IconPicture, "", 11, 17, 21, 20, 0, nullptr, 148},
    {S, K::Label, RES_TEXT("Orvane Config version 1.0"), 40, 10, 119, 8, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Orvane HD camera RS-485 setup tool"), 40, 25, 135, 8, 0, nullptr, 0},
    {1, K::PushButton, RES_TEXT("OK"), 178, 7, 50, 16, DEF, nullptr, 0},
};

const ControlTemplate kMain[] = {
    {S, K::GroupBox, RES_TEXT("Serial port"), 7, 7, 469, 60, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Port"), 17, 22, 25, 8, 0, nullptr, 0},
    {1007, K::ComboDropDown, "", 45, 19, 44, 87, 0, "COM1\nCOM2\nCOM3\nCOM4\nCOM5", 0},
    {S, K::Label, RES_TEXT("Baud rate"), 99, 22, 32, 8, 0, nullptr, 0},
    {1008, K::ComboDropDown, "", 134, 19, 44, 100, 0,
     "300\n600\n1200\n2400\n4800\n9600\n19200\n38400\n43000\n56000\n57600\n115200", 0},
    {S, K::Label, RES_TEXT("Parity"), 188, 22, 25, 8, 0, nullptr, 0},
    {1009, K::ComboDropDown, "", 216, 19, 44, 55, D, "NONE\nODD\nEVEN", 0},
    {S, K::Label, RES_TEXT("Data bits"), 270, 22, 30, 8, 0, nullptr, 0},
    {1010, K::ComboDropDown, "", 303, 19, 44, 59, D, "8\n7\n6", 0},
    {S, K::Label, RES_TEXT("Stop bits"), 357, 22, 30, 8, 0, nullptr, 0},
    {1013, K::ComboDropDown, "", 390, 19, 44, 51, D, "0\n1\n2", 0},
    {1016, K::PushButton, RES_TEXT("Open port"), 416, 47, 48, 14, 0, nullptr, 0},
    {1017, K::IconPicture, "", 290, 41, 20, 20, H, nullptr, 150},
    {S, K::Label, RES_TEXT("Status"), 17, 48, 33, 8, 0, nullptr, 0},
    {1033, K::Label, "", 53, 43, 228, 17, 0, nullptr, 0},
    {1001, K::GroupBox, RES_TEXT("Static"), 7, 72, 476, 175, H, nullptr, 0},
    {1021, K::PushButton, RES_TEXT("Save"), 418, 249, 42, 14, H, nullptr, 0},
    {1072, K::Label, "", 343, 76, 140, 8, 0, nullptr, 0},
};

const ControlTemplate kPara[] = {
    {S, K::GroupBox, RES_TEXT("Colour"), 7, 4, 128, 106, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Brightness"), 15, 19, 50, 8, 0, nullptr, 0},
    {1002, K::Edit, "", 85, 17, 40, 12, NUM, nullptr, 0},
    {1014, K::CheckBox, RES_TEXT("Contrast"), 15, 35, 66, 10, 0, nullptr, 0},
    {1003, K::Edit, "", 85, 34, 40, 12, NUM, nullptr, 0},
    {S, K::Label, RES_TEXT("Hue"), 15, 53, 50, 8, 0, nullptr, 0},
    {1004, K::Edit, "", 85, 51, 40, 12, NUM, nullptr, 0},
    {S, K::Label, RES_TEXT("Saturation"), 15, 70, 50, 8, 0, nullptr, 0},
    {1005, K::Edit, "", 85, 68, 40, 12, NUM, nullptr, 0},
    {1015, K::ThreeStateCheckBox, RES_TEXT("Backlight"), 15, 87, 68, 10, 0, nullptr, 0},
    {1006, K::Edit, "", 85, 86, 40, 12, NUM, nullptr, 0},

    {S, K::GroupBox, RES_TEXT("Exposure"), 141, 4, 176, 106, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Shutter"), 149, 19, 40, 8, 0, nullptr, 0},
    {1034, K::ComboDropList, "", 199, 17, 80, 120, 0, nullptr, 0},
    {1066, K::Label, RES_TEXT("Time"), 149, 36, 30, 8, H, nullptr, 0},
    {1064, K::Edit, "", 180, 34, 30, 12, H, nullptr, 0},
    {1067, K::Label, "~", 213, 36, 6, 8, H, nullptr, 0},
    {1065, K::Edit, "", 221, 34, 30, 12, H, nullptr, 0},
    {1068, K::Label, "0 ms ~ 40 ms", 255, 36, 58, 8, H, nullptr, 0},
    {1035, K::CheckBox, RES_TEXT("Gain"), 149, 53, 51, 10, 0, nullptr, 0},
    {1036, K::Edit, "", 201, 51, 38, 12, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Iris"), 149, 70, 40, 8, 0, nullptr, 0},
    {1037, K::ComboDropList, "", 199, 68, 60, 60, 0, RES_TEXT("Not auto\nAuto"), 0},
    {S, K::Label, RES_TEXT("Exp. comp."), 149, 87, 40, 8, 0, nullptr, 0},
    {1038, K::ComboDropList, "", 199, 85, 60, 120, 0, "-7\n-6\n-5\n-4\n-3\n-2\n-1\n0\n1\n2\n3\n4\n5\n6\n7", 0},

    {S, K::GroupBox, RES_TEXT("Versions"), 7, 114, 310, 32, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Hardware:"), 15, 129, 33, 8, 0, nullptr, 0},
    {1070, K::Edit, "", 50, 127, 60, 12, RO, nullptr, 0},
    {S, K::Label, RES_TEXT("Software:"), 149, 129, 31, 8, 0, nullptr, 0},
    {1071, K::Edit, "", 182, 127, 60, 12, RO, nullptr, 0},

    {S, K::GroupBox, RES_TEXT("Other"), 323, 4, 142, 142, 0, nullptr, 0},
    {1039, K::CheckBox, RES_TEXT("Mirror"), 331, 18, 40, 10, 0, nullptr, 0},
    {1041, K::CheckBox, RES_TEXT("Negative"), 381, 18, 40, 10, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("White bal."), 331, 36, 36, 8, 0, nullptr, 0},
    {1042, K::ComboDropList, "", 365, 34, 52, 120, 0,
     RES_TEXT("Off\nAuto\nSunny\nCloudy\nHome\nOffice\nNight\nCustom"), 0},
    {1043, K::PushButton, RES_TEXT("Trigger"), 421, 33, 38, 14, D, nullptr, 0},
    {S, K::Label, RES_TEXT("Day/night"), 331, 55, 36, 8, 0, nullptr, 0},
    {1044, K::ComboDropList, "", 365, 53, 52, 60, 0, RES_TEXT("Day\nAuto\nNight"), 0},
    {1074, K::PushButton, RES_TEXT("Switch"), 421, 52, 38, 14, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Sharpness"), 331, 74, 36, 8, 0, nullptr, 0},
    {1046, K::ComboDropList, "", 365, 72, 52, 120, 0, "0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15", 0},
    {S, K::Label, RES_TEXT("Scene"), 331, 93, 36, 8, 0, nullptr, 0},
    {1025, K::ComboDropList, "", 365, 91, 70, 90, 0,
     RES_TEXT("Sunny outdoor\nCloudy outdoor\nSunny indoor\nCloudy indoor\nDim light"), 0},
    {1060, K::CheckBox, RES_TEXT("Scene"), 331, 108, 60, 10, H, nullptr, 0},

    {1069, K::PushButton, RES_TEXT("Defaults"), 331, 126, 50, 14, 0, nullptr, 0},
    {1062, K::PushButton, RES_TEXT("Save"), 405, 126, 50, 14, 0, nullptr, 0},
};

const ControlTemplate kOsd[] = {
    {1051, K::CheckBox, RES_TEXT("On"), 7, 7, 32, 10, H | D, nullptr, 0},
    {1050, K::CheckBox, RES_TEXT("Blink"), 7, 17, 32, 10, H, nullptr, 0},
    {S, K::Label, RES_TEXT("Horizontal"), 7, 31, 33, 8, H | D, nullptr, 0},
    {1047, K::Edit, "", 7, 41, 40, 14, H | D, nullptr, 0},
    {S, K::Label, RES_TEXT("Colour"), 7, 66, 22, 8, H | D, nullptr, 0},
    {1049, K::ComboDropDown, "", 7, 75, 48, 103, H | D,
     RES_TEXT("White\nYellow\nViolet\nRed\nGrey\nGreen\nBlue\nBlack"), 0},
    {S, K::Label, RES_TEXT("Vertical"), 7, 102, 33, 8, H | D, nullptr, 0},
    {1048, K::Edit, "", 7, 111, 40, 14, H | D, nullptr, 0},
    {S, K::Label, RES_TEXT("Language"), 53, 11, 36, 8, H, nullptr, 0},
    {1027, K::ComboDropList, "", 91, 7, 48, 103, H, RES_TEXT("English\nChinese"), 0},
    {1052, K::PushButton, RES_TEXT("Enter menu"), 171, 46, 50, 14, 0, nullptr, 0},
    {1011, K::PushButton, RES_TEXT("Up"), 181, 76, 33, 14, 0, nullptr, 0},
    {1012, K::PushButton, RES_TEXT("Left"), 139, 100, 33, 14, 0, nullptr, 0},
    {1026, K::PushButton, RES_TEXT("OK"), 181, 100, 33, 14, 0, nullptr, 0},
    {1055, K::PushButton, RES_TEXT("Right"), 223, 100, 33, 14, 0, nullptr, 0},
    {1020, K::PushButton, RES_TEXT("Down"), 181, 128, 33, 14, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Video format"), 367, 21, 42, 8, 0, nullptr, 0},
    {1028, K::ComboDropList, "", 411, 17, 48, 103, 0, nullptr, 0},
    {1061, K::PushButton, RES_TEXT("Save"), 427, 117, 37, 14, H, nullptr, 0},
};

const ControlTemplate kUpdate[] = {
    {S, K::Label, RES_TEXT("Upgrade file:"), 10, 12, 60, 8, 0, nullptr, 0},
    {1053, K::Edit, "", 72, 10, 290, 12, RO, nullptr, 0},
    {1054, K::PushButton, RES_TEXT("Browse..."), 368, 9, 50, 14, 0, nullptr, 0},
    {S, K::Label, RES_TEXT("Package CRC:"), 10, 30, 60, 8, 0, nullptr, 0},
    {1022, K::Edit, "", 72, 28, 60, 12, RO, nullptr, 0},
    {S, K::Label, RES_TEXT("Progress:"), 10, 48, 60, 8, 0, nullptr, 0},
    {1056, K::ProgressBar, "", 72, 47, 290, 10, 0, nullptr, 0},
    {1057, K::RichEdit, "", 10, 64, 404, 90, RO, nullptr, 0},
    {1058, K::PushButton, RES_TEXT("Upgrade"), 420, 64, 45, 14, 0, nullptr, 0},
    {1063, K::PushButton, RES_TEXT("Clear"), 420, 84, 45, 14, 0, nullptr, 0},
    {1073, K::PushButton, RES_TEXT("Restart"), 420, 104, 45, 14, 0, nullptr, 0},
};

} // namespace

extern const DialogTemplate kDialogsEn[] = {
    {140, RES_TEXT("About Corvix"), 235, 55, "宋体", 9, kAbout, Count(kAbout)},
    {142, RES_TEXT("Orvane Config Tool V1.0"), 490, 270, "宋体", 9, kMain, Count(kMain)},
    {143, "", 480, 168, "宋体", 9, kPara, Count(kPara)},
    {144, "", 480, 149, "宋体", 9, kOsd, Count(kOsd)},
    {145, "", 480, 168, "宋体", 9, kUpdate, Count(kUpdate)},
};
extern const int kDialogCountEn = sizeof kDialogsEn / sizeof kDialogsEn[0];
