#pragma once

// Numbers of the string table (101-160), the dialog templates and the icons.
namespace Ids {
constexpr int AboutMenu = 101;            // "关于 Orvane ConfigTool(&A)..."
constexpr int TabParameters = 102;        // "参数设置"
constexpr int TabUpgrade = 103;           // "系统升级"
constexpr int OpenPort = 104;             // "打开串口"
constexpr int ClosePort = 105;            // "关闭串口"
constexpr int PortNotFound = 106;         // "没有发现此串口或被占用"
constexpr int RetryFailed = 107;          // "没有成功，请重试"
constexpr int PortClosed = 108;           // "端口已关闭"
constexpr int UpgradeSucceeded = 109;
constexpr int ErrorChecksum = 110;
constexpr int ErrorFlash = 111;
constexpr int ErrorFileSize = 112;
constexpr int ErrorCommand = 113;
constexpr int ErrorUnknown = 114;
constexpr int ConfigSaved = 115;          // "保存配置成功！"
constexpr int PortNotReady = 116;         // "串口未打开或者读取配置未完成！"
constexpr int LogTrigger = 117;
constexpr int LogRequestFailed = 118;
constexpr int LogRequest = 119;
constexpr int ReadFailed = 120;           // "读取配置失败！"
constexpr int LogUpgradeStart = 121;
constexpr int LogTransferring = 122;
constexpr int LogTransferDone = 123;
constexpr int ExitMenu = 124;
constexpr int EnterMenu = 125;
constexpr int LogFileLength = 126;
constexpr int LogChecksum = 127;
constexpr int BadPackageName = 128;
constexpr int UnknownImageKind = 129;
constexpr int ChoosePackage = 130;
constexpr int BadPackage = 131;
constexpr int MessageCaption = 132;       // "消息"
constexpr int TimeValue = 133;
constexpr int TimePeriod = 134;
constexpr int BadExposure = 135;
constexpr int NotAnInteger = 136;
constexpr int StateOpen = 137;            // "打开"
constexpr int StateClosed = 138;          // "关闭"
constexpr int InvalidPackage = 140;
constexpr int AutoGain = 141;
constexpr int ManualGain = 142;
constexpr int Backlight = 143;
constexpr int AutoBacklight = 144;
constexpr int ManualBacklight = 145;
constexpr int NoResponse = 146;
constexpr int Shutter50Hz = 147;
constexpr int Shutter60Hz = 148;
constexpr int DeviceReceived = 149;
constexpr int DeviceSilent = 150;
constexpr int OpenFailed = 151;           // "打开失败", status text after a failed open
constexpr int DialoutHint = 152;          // permission denied: join the dialout group
constexpr int LogPortClosed = 153;        // "串口已关闭，退出升级...\n"
constexpr int TipKeyUp = 154;             // tooltips of the OSD page's menu keys
constexpr int TipKeyDown = 155;
constexpr int TipKeyLeft = 156;
constexpr int TipKeyRight = 157;
constexpr int TipKeyOk = 158;
constexpr int LogPerUserTemp = 159;       // the images go to a per-user directory
constexpr int LogCannotUnpack = 160;      // a disk or permission problem while unpacking
constexpr int LogTransferRate = 161;      // bytes, seconds and bytes per second of one image
constexpr int LogImageUnreadable = 162;   // an image that cannot be read ends the run
constexpr int AskCloseDuringUpgrade = 163;

constexpr int DialogAbout = 140;
constexpr int DialogMain = 142;
constexpr int DialogPara = 143;
constexpr int DialogOsd = 144;
constexpr int DialogUpdate = 145;

constexpr int IconProgram = 148;
constexpr int IconPortOpen = 149;
constexpr int IconPortClosed = 150;
} // namespace Ids
