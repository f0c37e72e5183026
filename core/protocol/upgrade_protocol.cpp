#include "core/protocol/upgrade_protocol.h"

#include <algorithm>
#include <utility>

int ImageTypeCode(int imageKind)
{
    return imageKind + 1;
}

std::array<unsigned char, 7> ImageHeader(int imageKind, int checksum, std::uint32_t length)
{
    return {static_cast<unsigned char>(ImageTypeCode(imageKind)), static_cast<unsigned char>((checksum >> 8) & 0xFF),
            static_cast<unsigned char>(checksum & 0xFF),          static_cast<unsigned char>(length >> 24),
            static_cast<unsigned char>(length >> 16),             static_cast<unsigned char>(length >> 8),
            static_cast<unsigned char>(length)};
}

std::vector<ImagePiece> PieceSchedule(std::uint64_t length)
{
    std::vector<ImagePiece> pieces;
    for (std::uint64_t sent = 0; sent < length;) {
        const std::uint64_t size = std::min<std::uint64_t>(kPieceBytes, length - sent);
        const std::uint64_t offset = sent;
        sent += size;
        pieces.push_back({static_cast<std::size_t>(offset), static_cast<std::size_t>(size),
                          static_cast<int>(sent * 100 / length)});
    }
    return pieces;
}

CameraReport ReportMeaning(std::string_view report)
{
    static constexpr std::pair<std::string_view, CameraReport> kReports[] = {
        {"E001", CameraReport::ChecksumError}, {"E002", CameraReport::FlashError},
        {"E003", CameraReport::FileSizeError}, {"E004", CameraReport::CommandError},
        {"E010", CameraReport::UnknownError},
    };
    for (const auto& [code, meaning] : kReports) {
        if (report == code)
            return meaning;
    }
    return CameraReport::Unlisted;
}

CUpgradeReplies::Event CUpgradeReplies::Receive(char ch)
{
    if (!m_strCollecting.empty()) {
        if (ch >= '0' && ch <= '9') {
            m_strCollecting.push_back(ch);
            if (m_strCollecting.size() < 4)
                return Event::None;
            m_strReport = std::exchange(m_strCollecting, std::string());
            return Event::Report;
        }
        m_strCollecting.clear(); // noise that began with 'E': this character is what it is
    }
    switch (ch) {
    case 'A': return Event::Ready;
    case 'S': return Event::Stored;
    case 'D': return Event::Done;
    case 'E': m_strCollecting.assign(1, 'E'); return Event::None;
    default: return Event::None;
    }
}

void CUpgradeReplies::Reset()
{
    m_strCollecting.clear();
    m_strReport.clear();
}
