// The window in English, for integrators who do not read Chinese: the
// words of the dialog templates, the few controls they need more room for,
// and the string table, with the same numbers as the Chinese one.
#include "gui/resources/template_data.h"
#include "gui/resources/translation.h"

namespace {

// The words of the dialog templates.
const TextTranslation kTexts[] = {
    {"Orvane Config 1.0 版", RES_TEXT("Orvane Config version 1.0")},
    {"Orvane 高清摄像机 RS-485 配置工具", RES_TEXT("Orvane HD camera RS-485 setup tool")},
    {"确定", RES_TEXT("OK")},
    {"串口设置", RES_TEXT("Serial port")},
    {"串口号", RES_TEXT("Port")},
    {"波特率", RES_TEXT("Baud rate")},
    {"校验位", RES_TEXT("Parity")},
    {"数据位", RES_TEXT("Data bits")},
    {"停止位", RES_TEXT("Stop bits")},
    {"打开串口", RES_TEXT("Open port")},
    {"当前状态", RES_TEXT("Status")},
    {"静态", RES_TEXT("Static")},
    {"保存", RES_TEXT("Save")},
    {"色彩", RES_TEXT("Colour")},
    {"亮度", RES_TEXT("Brightness")},
    {"对比度", RES_TEXT("Contrast")},
    {"色度", RES_TEXT("Chroma")}, // as the settings file names it
    {"饱和度", RES_TEXT("Saturation")},
    {"背光补偿", RES_TEXT("Backlight")},
    {"曝光", RES_TEXT("Exposure")},
    {"快门", RES_TEXT("Shutter")},
    {"时间值", RES_TEXT("Time")},
    {"增益", RES_TEXT("Gain")},
    {"光圈", RES_TEXT("Iris")},
    {"非自动\n自动", RES_TEXT("Not auto\nAuto")},
    {"曝光补偿", RES_TEXT("Exp. comp.")},
    {"版本号", RES_TEXT("Versions")},
    {"硬件：", RES_TEXT("Hardware:")},
    {"软件：", RES_TEXT("Software:")},
    {"其它", RES_TEXT("Other")},
    {"镜像", RES_TEXT("Mirror")},
    {"负像", RES_TEXT("Negative")},
    {"白平衡", RES_TEXT("White bal.")},
    {"禁止\n自动\n晴天\n阴天\n家居\n办公\n夜晚\n自定义", RES_TEXT("Off\nAuto\nSunny\nCloudy\nHome\nOffice\nNight\nCustom")},
    {"触发", RES_TEXT("Trigger")},
    {"日夜模式", RES_TEXT("Day/night")},
    {"白天\n自动\n夜晚", RES_TEXT("Day\nAuto\nNight")},
    {"切换", RES_TEXT("Switch")},
    {"锐化等级", RES_TEXT("Sharpness")},
    {"情景配置", RES_TEXT("Scene")},
    {"晴天户外\n阴天户外\n晴天室内\n阴天室内\n较暗环境", RES_TEXT("Sunny outdoor\nCloudy outdoor\nSunny indoor\nCloudy indoor\nDim light")},
    {"默认", RES_TEXT("Defaults")},
    {"开启", RES_TEXT("On")},
    {"闪烁", RES_TEXT("Blink")},
    {"水平位置", RES_TEXT("Horizontal")},
    {"颜色", RES_TEXT("Colour")},
    {"白色\n黄色\n紫罗兰\n红色\n灰色\n绿色\n蓝色\n黑色", RES_TEXT("White\nYellow\nViolet\nRed\nGrey\nGreen\nBlue\nBlack")},
    {"垂直位置", RES_TEXT("Vertical")},
    {"语言", RES_TEXT("Language")},
    {"英文\n中文", RES_TEXT("English\nChinese")},
    {"进入菜单", RES_TEXT("Enter menu")},
    {"上", RES_TEXT("Up")},
    {"左", RES_TEXT("Left")},
    {"右", RES_TEXT("Right")},
    {"下", RES_TEXT("Down")},
    {"视频制式", RES_TEXT("Video format")},
    {"升级文件：", RES_TEXT("Upgrade file:")},
    {"浏览...", RES_TEXT("Browse...")},
    {"升级包CRC检验：", RES_TEXT("Package CRC:")},
    {"升级进度：", RES_TEXT("Progress:")},
    {"升级", RES_TEXT("Upgrade")},
    {"清除", RES_TEXT("Clear")},
    {"重启", RES_TEXT("Restart")},
    {"关于 Corvix", RES_TEXT("About Orvane Config")},
    {"Orvane配置工具 V1.0", RES_TEXT("Orvane Config V1.0")},
};

// Controls the English words need more room for.
const ControlPlace kPlaces[] = {
    {142, kNoControlId, "波特率", {.x = 99, .cx = 32}},
    {142, 1008, nullptr, {.x = 134}},
    {142, kNoControlId, "校验位", {.x = 188}},
    {142, 1009, nullptr, {.x = 216}},
    {142, kNoControlId, "数据位", {.x = 270, .cx = 30}},
    {142, 1010, nullptr, {.x = 303}},
    {142, kNoControlId, "停止位", {.x = 357, .cx = 30}},
    {142, 1013, nullptr, {.x = 390}},
    {142, 1072, nullptr, {.x = 343, .cx = 140}},
    {143, 1035, nullptr, {.cx = 51}},
    {143, 1036, nullptr, {.x = 201, .cx = 38}},
    {143, kNoControlId, "硬件：", {.cx = 33}},
    {143, 1070, nullptr, {.x = 50}},
    {143, kNoControlId, "软件：", {.cx = 31}},
    {143, 1071, nullptr, {.x = 182}},
    {144, kNoControlId, "颜色", {.cx = 22}},
    {144, kNoControlId, "语言", {.cx = 36}},
    {144, kNoControlId, "视频制式", {.x = 367, .cx = 42}},
};

const StringResource kStrings[] = {
    {101, RES_TEXT("&About Orvane Config...")},
    {102, RES_TEXT("Parameters")},
    {103, RES_TEXT("Upgrade")},
    {104, RES_TEXT("Open port")},
    {105, RES_TEXT("Close port")},
    {106, RES_TEXT("Serial port not found or in use")},
    {107, RES_TEXT("Did not succeed, please try again")},
    {108, RES_TEXT("Port closed")},
    {109, RES_TEXT("Upgrade succeeded!\n")},
    {110, RES_TEXT("checksum error")},
    {111, RES_TEXT("flash operation error")},
    {112, RES_TEXT("file size error")},
    {113, RES_TEXT("malformed upgrade command")},
    {114, RES_TEXT("other, unknown error")},
    {115, RES_TEXT("Configuration saved!")},
    {116, RES_TEXT("The port is not open, or the configuration has not been read!")},
    {117, RES_TEXT("Triggering the upgrade...\n")},
    {118, RES_TEXT("Upgrade request failed! Leaving the upgrade...\n")},
    {119, RES_TEXT("Requesting the upgrade...\n")},
    {120, RES_TEXT("Reading the configuration failed!")},
    {121, RES_TEXT("Upgrade started\n")},
    {122, RES_TEXT("Transferring the upgrade file...")},
    {123, RES_TEXT("Upgrade file sent! Wait while the camera upgrades...\n")},
    {124, RES_TEXT("Exit menu")},
    {125, RES_TEXT("Enter menu")},
    {126, RES_TEXT("Upgrade file length:")},
    {127, RES_TEXT("Checksum:")},
    {128, RES_TEXT("The upgrade file is misnamed.\nAn elf image is named *.elf.flash\nan sof image *.sof.flash\n"
                   "a font image *.font.flash")},
    {129, RES_TEXT("The file name does not tell whether the upgrade is\nthe hardware loader (sof)\n"
                   "or the soft-core processor's program (elf).\nAn elf image is named *.elf.flash\n"
                   "an sof image *.sof.flash.\na font image *.font.flash")},
    {130, RES_TEXT("Please choose an upgrade file!")},
    {131, RES_TEXT("The upgrade file is wrong!")},
    {132, RES_TEXT("Message")},
    {133, RES_TEXT("Time")},
    {134, RES_TEXT("Range")},
    {135, RES_TEXT("The exposure setting is wrong")},
    {136, RES_TEXT("Please enter a whole number; decimals are not supported")},
    {137, RES_TEXT("open")},
    {138, RES_TEXT("closed")},
    {140, RES_TEXT("Invalid upgrade file!")},
    {141, RES_TEXT("Auto gain")},
    {142, RES_TEXT("Manual gain")},
    {143, RES_TEXT("Backlight")},
    {144, RES_TEXT("Auto BLC")},
    {145, RES_TEXT("Manual BLC")},
    {146, RES_TEXT("The camera does not answer; it may not be connected!")},
    {147, RES_TEXT("Auto;Manual 1/50;Manual 1/100;Manual 1/250;Manual 1/500;Manual 1/1000;Manual 1/2000;"
                   "Manual 1/4000;Manual 1/10000;User range;User value;")},
    {148, RES_TEXT("Auto;Manual 1/60;Manual 1/120;Manual 1/250;Manual 1/500;Manual 1/1000;Manual 1/2000;"
                   "Manual 1/4000;Manual 1/10000;User range;User value;")},
    {149, RES_TEXT("The camera has received the upgrade file.")},
    {150, RES_TEXT("The camera did not say whether it accepted the upgrade file. Check the serial connection "
                   "and upgrade again!")},
    {151, RES_TEXT("open failed")},
    {152, RES_TEXT("This user may not use the serial port: %1 belongs to the group %2; add the user to it (sudo "
                   "usermod -aG %2 %3), then log out and in again.")},
    {153, RES_TEXT("The port is closed, leaving the upgrade...\n")},
    {154, RES_TEXT("Menu key: up (arrow key ↑)")},
    {155, RES_TEXT("Menu key: down (arrow key ↓)")},
    {156, RES_TEXT("Menu key: left (arrow key ←)")},
    {157, RES_TEXT("Menu key: right (arrow key →)")},
    {158, RES_TEXT("Menu key: OK (Enter)")},
    {159, RES_TEXT("The program's folder cannot be written; the images are unpacked to: ")},
    {160, RES_TEXT("Cannot unpack the images: ")},
    {161, RES_TEXT("Sent %1 bytes in %2 s, %3 bytes/s.\n")},
    {162, RES_TEXT("Cannot read the upgrade image, leaving the upgrade: ")},
    {163, RES_TEXT("An upgrade is running. Closing the program may leave the camera without working firmware, "
                   "and it will need another upgrade.\nClose anyway?")},
    {164, RES_TEXT("The camera reports error %1, leaving the upgrade...\n")},
    {165, RES_TEXT("The upgrade file is wrong; nothing was sent: ")},
    {166, RES_TEXT("Register 0x%1 did not answer (read %2 times)")},
    {167, RES_TEXT("Register 0x%1 answered only in part: %2 (read %3 times)")},
    {168, RES_TEXT("Register 0x%1 answered wrongly: %2 (read %3 times)")},
    {169, RES_TEXT("Local echo: the port receives what this computer sends; it is filtered out.")},
    {170, RES_TEXT("Package %1, image %2, checksum %3, camera software before %4, hardware %5\n")},
    {171, RES_TEXT("The upgrade log file cannot be written; the upgrade goes on: ")},
    {172, RES_TEXT("Save log...")},
    {173, RES_TEXT(" (device reconnected)")},
    {174, RES_TEXT("Read again: camera software %1, hardware %2\n")},
    {175, RES_TEXT("The versions match the upgrade package\n")},
    {176, RES_TEXT("The versions differ from the upgrade package: %1. The camera may not run the new firmware; "
                   "please upgrade again\n")},
    {177, RES_TEXT("software is %1, the package has %2")},
    {178, RES_TEXT("hardware is %1, the package has %2")},
    {180, RES_TEXT("&Export settings...")},
    {181, RES_TEXT("&Import settings...")},
    {182, RES_TEXT("&Trace the line...")},
    {183, RES_TEXT("Settings files (*.json);;All files (*)")},
    {184, RES_TEXT("Exporting the settings failed: %1\n%2")},
    {185, RES_TEXT("Importing the settings failed; the pages are unchanged: %1\n%2")},
    {186, RES_TEXT("These imported settings read back other than written:\n%1")},
    {187, RES_TEXT("Tracing the line: %1")},
    {188, RES_TEXT("The trace cannot be written; the port works on: %1\n%2")},
    {189, RES_TEXT("Line traces (*.log *.txt);;All files (*)")},
    {190, RES_TEXT("Settings imported; press \"Save\" to write them")},
    {200, RES_TEXT("Find camera")},
    {201, RES_TEXT("&Find camera...")},
    {202, RES_TEXT("Looking for the camera: %1 baud...")},
    {203, RES_TEXT("No camera answered at any baud rate. Check:\n· whether lines A and B are swapped;\n"
                   "· whether the camera has power;\n· the termination resistors at both ends of the bus;\n"
                   "· the serial adapter (is the right one chosen in the port list?).")},
    {204, RES_TEXT("%1: camera, %2 baud, software %3, hardware %4")},
    {205, RES_TEXT("%1: no camera answered")},
    {206, RES_TEXT("%1: cannot be opened (%2)")},
    {207, RES_TEXT("%1: the port went away during the search")},
    {208, RES_TEXT("Close")},
    {209, RES_TEXT("The camera does not answer reads; its firmware may be damaged.\nRecover it by an upgrade? "
                   "A recovery does not read the camera and sends every image of the package.\n"
                   "After \"Yes\", switch the camera off at once and on again.")},
    {210, RES_TEXT("Recovery: a request every 0.1 s, for at most %1 s. Switch the camera off now and on "
                   "again...\n")},
    {211, RES_TEXT("The camera did not answer within %1 s; only the upgrade request \"*****\" was sent. Leaving "
                   "the upgrade...\n")},
    {212, RES_TEXT(", echo")},
    {230, RES_TEXT("&Language")},
    {231, RES_TEXT("中文")},
    {232, RES_TEXT("English")},
    {233, RES_TEXT("The window will be in English from the next start.")},
    {234, RES_TEXT("The window's language is set by UiLanguage in config.ini's [PathInfo]; this choice applies "
                   "once that setting is removed.")},
    {235, RES_TEXT("; ")},
    {240, RES_TEXT("Completing the image under way with filler the camera refuses; the window closes once the "
                   "camera has answered and is released...\n")},
    {241, RES_TEXT("Upgrade interrupted; the camera was released. Upgrade it again.\n")},
    {242, RES_TEXT("Settings are still being sent with the current line settings; the line was not changed. "
                   "Change it once they are out.")},
    {243, RES_TEXT("The imported settings do not fit the camera read and were dropped; the pages show the "
                   "camera's settings: %1\n%2")},
    {244, RES_TEXT(" (versions or video format unusual for a camera: it may be another device)")},
    {250, RES_TEXT("The pages show the values read from %1 at %2, which may not be the camera's now; save works "
                   "again once a read succeeds")},
    {251, RES_TEXT("The pages show no values read from the camera")},
    {252, RES_TEXT("The port is not open")},
    {253, RES_TEXT("The camera's configuration has not been read whole")},
    {254, RES_TEXT("The images are written: restarting the camera and reading its versions back...\n")},
    {255, RES_TEXT("After its restart the camera did not answer a read again.\n")},
    {256, RES_TEXT("The camera is restarting; the port reopens in %1 s")},
    {257, RES_TEXT("Restart sent; the port reopens and the camera is read in %1 s\n")},
    {258, RES_TEXT("Settings exported to %1")},
    {260, RES_TEXT("Next: run the upgrade again; if it happens again, check the wiring or use a lower rate.")},
    {261, RES_TEXT("Next: check that the package is meant for this camera, then run the upgrade again.")},
    {262, RES_TEXT("Next: power the camera off and on and run the upgrade again (recover it if it no longer "
                   "answers); if it fails again, set the camera aside.")},
    {263, RES_TEXT("Next: check the wiring and the port, and find the camera's rate with Find camera; a camera "
                   "whose firmware does not start can be recovered.")},
    {264, RES_TEXT("Next: plug the adapter in again; the port reopens by itself.")},
    {265, RES_TEXT("Next: close the other program that holds the port.")},
    {266, RES_TEXT("Text files (*.txt);;All files (*)")},
    {267, RES_TEXT("The camera's configuration is being read: wait until it is done")},
    {268, RES_TEXT("An upgrade is running")},
    {269, RES_TEXT("The last save is still going out")},
    {271, RES_TEXT("&Network serial port...")},
    {272, RES_TEXT("The device server's port (rfc2217://HOST:PORT or socket://HOST:PORT):")},
    {273, RES_TEXT("%1 is not a device server's address: write rfc2217://HOST:PORT or socket://HOST:PORT")},
    {274, RES_TEXT("Network round trip %1 ms, added to every wait for an answer")},
    {275, RES_TEXT("Connecting to the device server %1...")},
    {276, RES_TEXT("The device server sets the line of %1 (rate, parity, bits): the choice here only times the waits")},
    {277, RES_TEXT("The camera's settings could not be backed up (%1); the write goes ahead.")},
    {278, RES_TEXT("&Restore settings...")},
    {279, RES_TEXT("Settings kept for %1, newest first. The one chosen is shown on the pages; Save writes it:")},
    {280, RES_TEXT("No settings of %1 were kept (%2).")},
    {281, RES_TEXT("%1  %2 (%3)  software %4, hardware %5")},
    {282, RES_TEXT("before")},
    {283, RES_TEXT("after")},
    {284, RES_TEXT("%1 changes these settings (camera → file):")},
    {285, RES_TEXT("%1 holds the camera's settings: saving it changes nothing.")},
    {286, RES_TEXT("The camera is recovered. Write back the settings kept %1 (%2)?")},
    {287, RES_TEXT("The camera is recovered, but no settings of %1 were kept before the recovery: there is nothing "
                   "to restore.")},
    {288, RES_TEXT("%1 damaged record(s) left out:")},
    {289, RES_TEXT("%1: every setting read back as written.")},
    {290, RES_TEXT("The user %2 is in the group %1 now, but this session began before it joined: log out and in "
                   "again (or run newgrp %1 in a terminal).")},
    {291, RES_TEXT("No group may use %1 (mode 0600), so joining one does not help: a udev rule is needed. Put this "
                   "line in %2:\n%3\nthen run sudo udevadm control --reload-rules && sudo udevadm trigger, replug "
                   "the adapter, add the user to the group %4 (sudo usermod -aG %4 %5) and log out and in again.")},
    {292, RES_TEXT("Held by: %1.")},
    {293, RES_TEXT("%1 processes of other users could not be checked; sudo fuser -v %2 names every program that "
                   "holds it.")},
    {270, RES_TEXT("Next: check that the device server is on and reachable, and that its port is set for telnet "
                   "with RFC 2217 (rfc2217://) or for raw TCP (socket://).")},
};
} // namespace

const Translation& EnglishTranslation()
{
    using template_data::Count;
    static const Translation english{kStrings, Count(kStrings), kTexts, Count(kTexts), kPlaces, Count(kPlaces)};
    return english;
}

const ResourceTable& EnglishResources()
{
    static const ResourceTable& table = TranslatedResources(BuiltInResources(), EnglishTranslation());
    return table;
}
