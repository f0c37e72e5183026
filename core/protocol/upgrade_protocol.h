#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The host's side of the image exchange, without a port or a window:
// "U", then the 7-byte header, then the image in pieces; the camera answers
// with single characters.

constexpr std::size_t kPieceBytes = 100;
constexpr int kPiecePauseMs = 10;  // after each piece is handed over
constexpr int kHeaderPauseMs = 20; // between the header and the first piece

// The host's side of the pacing around an image: a request ("*****") each
// second after the restart trigger, four at most; 100 ms after "U"; 200 ms
// before "R"; up to 10 s for the camera's 'S' or 'D' after the last piece.
constexpr int kRequestPeriodMs = 1000;
constexpr int kRequests = 4;
// A camera whose firmware does not run is asked far more often, for as long
// as the technician needs to power it off and on: its boot window is short.
constexpr int kRecoveryRequestPeriodMs = 100;
constexpr int kReadyPauseMs = 100;
constexpr int kReleasePauseMs = 200;
constexpr int kAnswerWaitMs = 10000;

// Type code on the wire for an image kind (0 elf, 1 sof, 2 font): 1, 2, 3.
int ImageTypeCode(int imageKind);

// Type code, checksum high and low byte, length most significant byte first.
std::array<unsigned char, 7> ImageHeader(int imageKind, int checksum, std::uint32_t length);

// One piece of an image and the progress (0..100) shown once it is handed over.
struct ImagePiece {
    std::size_t offset;
    std::size_t size;
    int progress;
    bool operator==(const ImagePiece&) const = default;
};
// Pieces of at most 100 bytes, the last one shorter; none for an empty image.
std::vector<ImagePiece> PieceSchedule(std::uint64_t length);

// What the camera means by an error report; each front end says it in its
// own words.
enum class CameraReport {
    ChecksumError, // "E001"
    FlashError,    // "E002"
    FileSizeError, // "E003"
    CommandError,  // "E004": the upgrade command's format
    UnknownError,  // "E010"
    Unlisted,      // any other code: no meaning of its own
};
CameraReport ReportMeaning(std::string_view report);

// The camera's replies while the host is in upgrade mode: 'A' ready, 'S'
// stored, 'D' done, and 'E' with three digits an error report. Any other
// character is dropped; one that is not a digit ends a report early (line
// noise that began with 'E') and counts as itself.
class CUpgradeReplies {
public:
    enum class Event { None, Ready, Stored, Done, Report };

    Event Receive(char ch);
    // The four characters of the report that Receive() last completed.
    const std::string& Report() const { return m_strReport; }
    void Reset();

private:
    std::string m_strCollecting;
    std::string m_strReport;
};
