#include "core/protocol/link_protocol.h"

#include <cstdio>

const int ReadList[kReadListSize] = {
    0x1F, 0x00, 0x01, 0x02, 0x08, 0x09, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x12,
    0x13, 0x14, 0x15, 0x16, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0xF9,
};

namespace {

int HexValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    return -1;
}

} // namespace

QByteArray FormatReadCommand(int reg)
{
    char text[16];
    std::snprintf(text, sizeof text, "r %04X \r\n", static_cast<unsigned>(reg) & 0xFFFF);
    return QByteArray(text);
}

QByteArray FormatWriteCommand(int value, int reg)
{
    char text[16];
    std::snprintf(text, sizeof text, "w %02X %04X\r\n", static_cast<unsigned>(value) & 0xFF,
                  static_cast<unsigned>(reg) & 0xFFFF);
    return QByteArray(text);
}

int HexToBytes(const QByteArray& text, unsigned char* out, int outSize)
{
    int count = 0;
    qsizetype i = 0;
    while (i < text.size() && count < outSize) {
        const char ch = text[i];
        if (ch == '\r' || ch == '\n' || ch == ' ') {
            ++i;
            continue;
        }
        if (i + 1 >= text.size())
            break;
        const int high = HexValue(ch);
        const int low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            break;
        out[count++] = static_cast<unsigned char>(high * 16 + low);
        i += 2;
    }
    return count;
}

int OsdLanguageForHost(int language)
{
    return language == 0 ? 1 : 0;
}

int AnswerWaitMs(int baud)
{
    constexpr int kRoundTripBits = 13 * 10;
    return kAnswerLatencyMs + (baud > 0 ? (2 * kRoundTripBits * 1000 + baud - 1) / baud : 0);
}

bool IsRegisterAnswer(const QByteArray& group)
{
    const auto hex = [](char ch) {
        return (ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'F') || (ch >= 'a' && ch <= 'f');
    };
    return group.size() == 4 && hex(group[0]) && hex(group[1]) && group[2] == '\r' && group[3] == '\n';
}
