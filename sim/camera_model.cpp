#include "sim/camera_model.h"

#include "core/protocol/checksum.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr std::uint32_t kLargestImage = 64u * 1024 * 1024;
constexpr std::size_t kLongestLine = 64;

// Power-on values: a 1080p25 camera (video code 0x00) with hardware V1.2,
// software V1.3, automatic exposure over the whole frame (0..1125 lines),
// automatic gain and iris, mid-scale colour and a Chinese menu.
const std::map<int, std::uint8_t> kDefaultRegisters = {
    {0x1F, 0x00}, {0x00, 0x12}, {0x01, 0x13}, {0x02, 0x01}, {0x08, 0x0F}, {0x09, 0x00},
    {0x0C, 0x00}, {0x0D, 0x00}, {0x0E, 0x65}, {0x0F, 0x04}, {0x10, 0x20}, {0x12, 0x32},
    {0x13, 0x32}, {0x14, 0x32}, {0x15, 0x32}, {0x16, 0x1E}, {0x19, 0x07}, {0x1A, 0x08},
    {0x1B, 0x01}, {0x1C, 0x01}, {0x1D, 0x00}, {0x1E, 0x01}, {0xF9, 0x01},
};

// Exactly `digits` upper-case hexadecimal digits at text[at...], as the host sends them.
bool ParseHex(const std::string& text, std::size_t at, std::size_t digits, int* value)
{
    *value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const char ch = text[i];
        if (ch >= '0' && ch <= '9')
            *value = *value * 16 + (ch - '0');
        else if (ch >= 'A' && ch <= 'F')
            *value = *value * 16 + (ch - 'A' + 10);
        else
            return false;
    }
    return true;
}

// The version an image's leading name carries after its last '_' ("V1.4"
// of "cam_V1.4.elf.flash") as the register shows it (0x14); -1 without one.
int NamedVersion(const std::string& bytes)
{
    const std::string name = bytes.substr(0, std::min(bytes.find_first_of(std::string("\0\n", 2)), std::size_t(128)));
    const std::size_t underscore = name.rfind('_');
    unsigned major = 0;
    unsigned minor = 0;
    char dot = 0;
    if (underscore == std::string::npos
        || std::sscanf(name.c_str() + underscore, "_%*1[vV]%2u.%2u%c", &major, &minor, &dot) != 3 || dot != '.'
        || major > 15 || minor > 15)
        return -1;
    return static_cast<int>(major << 4 | minor);
}

} // namespace

CameraModel::CameraModel(CameraFaults faults, CameraTiming timing)
    : m_faults(std::move(faults)), m_timing(timing), m_registers(kDefaultRegisters), m_bBroken(m_faults.bBrokenFirmware)
{
}

std::uint8_t CameraModel::Register(int address) const
{
    const auto it = m_registers.find(address);
    return it == m_registers.end() ? 0 : it->second;
}

void CameraModel::SetRegister(int address, std::uint8_t value)
{
    m_registers[address] = value;
}

std::vector<CameraModel::Output> CameraModel::TakeOutput()
{
    return std::exchange(m_output, {});
}

bool CameraModel::InUpgradeWindow(std::int64_t nowMs) const
{
    return nowMs < m_nWindowEndsMs;
}

void CameraModel::Receive(unsigned char byte, std::int64_t nowMs)
{
    Tick(nowMs);
    if (nowMs < m_nSilentUntilMs)
        return; // still booting: the byte is lost
    if (m_state != State::Normal) {
        OnUpgradeByte(byte, nowMs);
        return;
    }

    if (byte == '*') {
        if (++m_nAsterisks == 5 && InUpgradeWindow(nowMs)) {
            m_nAsterisks = 0;
            m_state = State::AwaitStart;
            m_nLastUpgradeByteMs = nowMs;
            UpgradeReply("A", nowMs);
        }
        return;
    }
    m_nAsterisks = 0;
    if (byte == '\n') {
        OnLine(nowMs);
        m_line.clear();
    } else if (m_line.size() < kLongestLine) {
        m_line.push_back(static_cast<char>(byte));
    }
}

void CameraModel::OnLine(std::int64_t nowMs)
{
    // Exactly "r %04X " CR or "w %02X %04X" CR (the LF ended the line), with
    // upper-case digits; anything else is ignored like line noise.
    if (m_bBroken)
        return; // no firmware runs to read the line
    const std::string& line = m_line;
    int address = 0;
    int value = 0;
    if (line.size() == 8 && line.compare(0, 2, "r ") == 0 && ParseHex(line, 2, 4, &address)
        && line.compare(6, 2, " \r") == 0) {
        if (m_faults.bMute)
            return;
        char reply[8];
        std::snprintf(reply, sizeof reply, "%02X\r\n", Register(address));
        if (const std::string answer = FaultyAnswer(address, reply); !answer.empty())
            Reply(answer, nowMs + m_faults.nReplyDelayMs);
    } else if (line.size() == 10 && line.compare(0, 2, "w ") == 0 && ParseHex(line, 2, 2, &value) && line[4] == ' '
               && ParseHex(line, 5, 4, &address) && line[9] == '\r') {
        if (address == 0xFFFF) {
            if (value == 1 && m_bRestartArmed)
                Restart(nowMs);
            m_bRestartArmed = value == 0;
            return;
        }
        m_bRestartArmed = false;
        if (address != m_faults.nIgnoredWriteRegister)
            m_registers[address] = static_cast<std::uint8_t>(value);
    }
}

void CameraModel::Restart(std::int64_t nowMs)
{
    ++m_nRestarts;
    Boot(nowMs);
}

void CameraModel::PowerCycle(std::int64_t nowMs)
{
    ++m_nPowerCycles;
    m_output.clear(); // replies still on their way die with the power
    Boot(nowMs);
}

void CameraModel::Boot(std::int64_t nowMs)
{
    for (const auto& [address, version] : std::exchange(m_flashedVersions, {}))
        m_registers[address] = version;
    m_bRestartArmed = false;
    m_line.clear();
    m_nAsterisks = 0;
    m_state = State::Normal;
    m_nSilentUntilMs = nowMs + m_timing.nRestartSilenceMs;
    m_nWindowEndsMs = m_nSilentUntilMs + m_timing.nUpgradeWindowMs;
}

void CameraModel::OnUpgradeByte(unsigned char byte, std::int64_t nowMs)
{
    m_nLastUpgradeByteMs = nowMs;
    switch (m_state) {
    case State::AwaitStart:
        if (byte == 'U') {
            m_state = State::Header;
            m_header.clear();
        }
        break; // further asterisks of the request are ignored
    case State::Header:
        m_header.push_back(static_cast<char>(byte));
        if (m_header.size() < 7)
            break;
        m_image = ReceivedImage{};
        m_image.nType = static_cast<unsigned char>(m_header[0]);
        m_image.nChecksum = (static_cast<unsigned char>(m_header[1]) << 8) | static_cast<unsigned char>(m_header[2]);
        for (int i = 3; i < 7; ++i)
            m_image.nLength = (m_image.nLength << 8) | static_cast<unsigned char>(m_header[i]);
        if (m_image.nLength > kLargestImage) {
            m_image.strVerdict = "E003";
            m_images.push_back(m_image);
            UpgradeReply("E003", nowMs);
            m_state = State::AwaitRelease;
        } else {
            m_state = State::Data;
            if (m_image.nLength == 0)
                FinishImage(nowMs);
        }
        break;
    case State::Data:
        m_image.bytes.push_back(static_cast<char>(byte));
        if (m_image.bytes.size() == m_image.nLength / 2 + 1 && !m_faults.strNoiseInImage.empty())
            UpgradeReply(m_faults.strNoiseInImage, nowMs);
        if (m_image.bytes.size() == m_image.nLength)
            FinishImage(nowMs);
        break;
    case State::Flashing:
        break;
    case State::AwaitRelease:
        if (byte == 'R') {
            m_state = State::Normal;
            m_nWindowEndsMs = -1;
        }
        break;
    case State::Normal:
        break;
    }
}

void CameraModel::FinishImage(std::int64_t nowMs)
{
    const int checksum = ComputeChecksum(m_image.bytes);
    if (m_image.nType < 1 || m_image.nType > 3)
        m_image.strVerdict = "E004";
    else if (checksum != m_image.nChecksum)
        m_image.strVerdict = "E001";
    else if (!m_faults.strUpgradeError.empty())
        m_image.strVerdict = m_faults.strUpgradeError;
    else
        m_image.strVerdict = "D";
    m_images.push_back(m_image);
    if (m_faults.bSilentAfterImage) {
        if (m_image.strVerdict == "D")
            Flashed();
        m_state = State::AwaitRelease;
        return;
    }

    UpgradeReply("S", nowMs);
    m_state = State::Flashing;
    m_nFlashDoneMs = nowMs + m_timing.nFlashMs;
    m_nFlashNoiseMs = m_faults.strNoiseInFlash.empty() ? -1 : nowMs + m_timing.nFlashMs / 2;
}

void CameraModel::Flashed()
{
    // Running firmware is in flash now; a power cut before this loses the flash.
    m_bBroken = false;
    const ReceivedImage& image = m_images.back();
    const int version = NamedVersion(image.bytes);
    if (m_faults.bKeepVersion || version < 0 || (image.nType != 1 && image.nType != 2))
        return;
    m_flashedVersions[image.nType == 1 ? 0x01 : 0x00] = static_cast<std::uint8_t>(version);
}

void CameraModel::Tick(std::int64_t nowMs)
{
    if (m_state == State::Flashing && m_nFlashNoiseMs >= 0 && nowMs >= m_nFlashNoiseMs) {
        UpgradeReply(m_faults.strNoiseInFlash, m_nFlashNoiseMs);
        m_nFlashNoiseMs = -1;
    }
    if (m_state == State::Flashing && nowMs >= m_nFlashDoneMs) {
        if (m_images.back().strVerdict == "D")
            Flashed();
        UpgradeReply(m_images.back().strVerdict + m_faults.strNoiseAfterVerdict, m_nFlashDoneMs);
        m_state = State::AwaitRelease;
    }
    const bool receiving = m_state == State::AwaitStart || m_state == State::Header || m_state == State::Data;
    if (receiving && nowMs - m_nLastUpgradeByteMs > m_timing.nTransferTimeoutMs) {
        if (m_state == State::Data || m_state == State::Header) {
            m_image.strVerdict = "E003";
            m_images.push_back(m_image);
        }
        UpgradeReply("E003", nowMs);
        m_state = State::AwaitRelease;
    }
}

void CameraModel::UpgradeReply(const std::string& text, std::int64_t dueMs)
{
    m_output.push_back({dueMs, text});
}

std::string CameraModel::FaultyAnswer(int address, std::string answer)
{
    for (auto fault = m_faults.replyFaults.begin(); fault != m_faults.replyFaults.end(); ++fault) {
        if (fault->nRegister != address)
            continue;
        switch (fault->kind) {
        case ReplyFault::Kind::DropChar: answer.pop_back(); break;
        case ReplyFault::Kind::DropReply: answer.clear(); break;
        case ReplyFault::Kind::Garble: answer[1] = '?'; break;
        }
        if (fault->bOnce)
            m_faults.replyFaults.erase(fault);
        break;
    }
    return answer;
}

void CameraModel::Reply(const std::string& text, std::int64_t dueMs)
{
    // Register replies pass the fault injection; upgrade replies do not.
    std::string out;
    for (const char ch : text) {
        ++m_nReplyChars;
        const auto every = [this](int n) { return n > 0 && m_nReplyChars % n == 0; };
        if (every(m_faults.nDropEvery))
            continue;
        out.push_back(every(m_faults.nGarbleEvery) ? '?' : ch);
        if (every(m_faults.nExtraEvery))
            out.push_back('x');
    }
    if (!out.empty())
        m_output.push_back({dueMs, out});
}
