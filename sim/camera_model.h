#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One register's answer going wrong, as on a noisy line: every time it is
// read, or only the first time.
struct ReplyFault {
    enum class Kind {
        DropChar,  // the answer's last character (its LF) is lost
        DropReply, // the whole answer is lost
        Garble,    // the answer's second digit arrives as '?'
    };
    Kind kind = Kind::DropChar;
    int nRegister = 0;
    bool bOnce = false;
};

// What the simulated camera gets wrong on purpose.
struct CameraFaults {
    int nDropEvery = 0;          // drop every Nth reply character
    int nExtraEvery = 0;         // add an 'x' after every Nth reply character
    int nGarbleEvery = 0;        // turn every Nth reply character into '?'
    int nReplyDelayMs = 0;       // answer every command this late
    bool bMute = false;          // never answer a read
    std::string strUpgradeError; // answer every image with this report ("E001" ...) instead of 'D'
    bool bSilentAfterImage = false; // take every image and never answer it ('S', 'D' or a report)
    std::string strNoiseInImage;     // sent once half of an image has arrived, as line noise would be
    std::string strNoiseAfterVerdict; // sent right after 'D' or a report
    std::string strNoiseInFlash;      // sent half way between 'S' and the verdict
    int nIgnoredWriteRegister = -1; // writes to this register are taken and forgotten
    bool bKeepVersion = false;      // still report the old versions after a flashed image and a restart
    // Its firmware does not run: no read is answered, no write stored, a
    // restart write does nothing and "*****" goes unanswered. Only the boot
    // window after a power cycle takes an image; one answered 'D' mends it.
    bool bBrokenFirmware = false;
    std::vector<ReplyFault> replyFaults;
};

// Timing of the simulated camera's restart and upgrade.
struct CameraTiming {
    int nRestartSilenceMs = 1500;   // deaf and dumb after a restart
    int nUpgradeWindowMs = 5000;    // after that, "*****" is answered with 'A' for this long
    int nFlashMs = 300;             // between 'S' (image stored) and 'D' (flashed)
    int nTransferTimeoutMs = 3000;  // an image that stops arriving is given up with "E003"
};

// An image as the camera received it, kept byte for byte.
struct ReceivedImage {
    int nType = 0;           // header byte 0: 1 elf, 2 sof, 3 font
    int nChecksum = 0;       // header bytes 1-2
    std::uint32_t nLength = 0; // header bytes 3-6
    std::string bytes;       // the data that followed the header
    std::string strVerdict;  // "D" or the error report sent
};

// The camera's side of the serial protocol, without any transport: bytes go
// in with the time they arrived, replies come out with the time they are due.
//   "r %04X " CR LF      -> two upper-case hex digits of the register, CR LF
//   "w %02X %04X" CR LF  -> stores the value; 0 then 1 to 0xFFFF restarts
//   after a restart: "*****" -> 'A', then "U", a 7-byte header and the image;
//   the camera answers 'S', then 'D' or "E001".."E004"/"E010"; "R" releases it.
// An elf or sof image that begins with its own name ("cam_V1.4.elf.flash",
// ended by NUL or LF) is run after the next restart: the camera then reports
// that version in register 0x01 (elf) or 0x00 (sof).
// A power cycle boots it as a restart does (silence, then the upgrade window),
// and loses what was under way: a partly received line or image, a flash not
// yet finished, and replies not yet taken. Registers keep their values.
class CameraModel {
public:
    struct Output {
        std::int64_t nDueMs = 0;
        std::string bytes;
    };

    explicit CameraModel(CameraFaults faults = {}, CameraTiming timing = {});

    void Receive(unsigned char byte, std::int64_t nowMs);
    // Lets time pass: restart, flashing and transfer time-outs.
    void Tick(std::int64_t nowMs);
    // Replies produced since the last call, in order.
    std::vector<Output> TakeOutput();

    std::uint8_t Register(int address) const;
    void SetRegister(int address, std::uint8_t value);
    void SetMute(bool mute) { m_faults.bMute = mute; }
    // Restarts by the "w 00 FFFF" / "w 01 FFFF" writes; power cycles are not among them.
    int RestartCount() const { return m_nRestarts; }
    // Power lost and back at nowMs.
    void PowerCycle(std::int64_t nowMs);
    int PowerCycleCount() const { return m_nPowerCycles; }
    // Hears what arrives at nowMs: not still booting after a restart.
    bool Hears(std::int64_t nowMs) const { return nowMs >= m_nSilentUntilMs; }
    bool InUpgrade() const { return m_state != State::Normal; }
    const std::vector<ReceivedImage>& Images() const { return m_images; }

private:
    enum class State { Normal, AwaitStart, Header, Data, Flashing, AwaitRelease };

    void OnLine(std::int64_t nowMs);
    void OnUpgradeByte(unsigned char byte, std::int64_t nowMs);
    void FinishImage(std::int64_t nowMs);
    // The image in m_images.back() is now in flash.
    void Flashed();
    void Boot(std::int64_t nowMs);
    void Restart(std::int64_t nowMs);
    void Reply(const std::string& text, std::int64_t nowMs);
    // The answer for a register after its ReplyFaults; empty when it is lost.
    std::string FaultyAnswer(int address, std::string answer);
    void UpgradeReply(const std::string& text, std::int64_t nowMs);
    bool InUpgradeWindow(std::int64_t nowMs) const;

    CameraFaults m_faults;
    CameraTiming m_timing;
    std::map<int, std::uint8_t> m_registers;
    std::string m_line;
    int m_nAsterisks = 0;
    bool m_bRestartArmed = false;
    int m_nRestarts = 0;
    int m_nPowerCycles = 0;
    bool m_bBroken = false;
    std::int64_t m_nSilentUntilMs = -1;
    std::int64_t m_nWindowEndsMs = -1;
    State m_state = State::Normal;
    std::string m_header;
    ReceivedImage m_image;
    std::int64_t m_nLastUpgradeByteMs = 0;
    std::int64_t m_nFlashDoneMs = 0;
    std::int64_t m_nFlashNoiseMs = -1; // when strNoiseInFlash is due; -1 once sent
    std::int64_t m_nReplyChars = 0;
    std::vector<ReceivedImage> m_images;
    std::map<int, std::uint8_t> m_flashedVersions; // register -> version, run from the next restart
    std::vector<Output> m_output;
};
