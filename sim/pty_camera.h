#pragma once

#include "sim/camera_model.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct PtyOptions {
    bool bPaced = true;          // bytes take 10 bit times at the rate the host set on the terminal
    std::string strLinkPath;     // a symbolic link to the device, when not empty
    long nVanishAfterBytes = -1; // close the terminal after this many bytes from the host
    bool bEcho = false;          // every byte from the host comes back to it, as a two-wire adapter hears itself
    int nOwnRate = 0;            // the camera's own rate: a byte the host sends at another is not understood; 0 any
    int nPowerCycleAfterMs = -1; // power-cycle once, this long after Start(); -1 never
};

// One byte on the simulated line: when its last bit was on the line
// (steady clock, nanoseconds) and the line rate it travelled at.
struct LineByte {
    std::int64_t nAtNs = 0;
    unsigned char byte = 0;
    int nRate = 0;
};

// The simulated camera on a pseudo-terminal: the host opens DevicePath() as
// its serial port. Runs its own thread; every observer is thread-safe.
class PtyCamera {
public:
    PtyCamera(CameraFaults faults = {}, CameraTiming timing = {}, PtyOptions options = {});
    ~PtyCamera();
    PtyCamera(const PtyCamera&) = delete;
    PtyCamera& operator=(const PtyCamera&) = delete;

    bool Start(std::string* error);
    void Stop();
    std::string DevicePath() const { return m_strDevicePath; }
    // The link to the device, made while the terminal is open; empty when none was asked for.
    const std::string& LinkPath() const { return m_options.strLinkPath; }

    std::string Received() const; // every byte from the host, in order
    std::string Sent() const;     // every byte put on the line towards the host
    std::vector<LineByte> ReceivedLine() const; // Received() with times and rates
    std::vector<LineByte> SentLine() const;     // Sent() with times and rates
    void ClearCapture();
    int LineRate() const;         // as the host configured the terminal (refreshed every 20 ms)
    std::vector<ReceivedImage> Images() const;
    std::uint8_t Register(int address) const;
    void SetRegister(int address, std::uint8_t value);
    void SetMute(bool mute);      // answers no read from now on, or again
    int RestartCount() const;     // restart writes; power cycles are counted apart
    int PowerCycleCount() const;
    // Power lost and back now: the camera boots as after a restart, and the
    // bytes still on their way in either direction are lost.
    void PowerCycle();
    // Hears what reaches it from now on: back from its last restart.
    bool Listening() const;

    // Sends a steady stream of 'x' at the line rate while on.
    void SetFlood(bool on);
    // Sends `text` every periodMs while it is not empty, as a device that
    // speaks on its own would (another make of camera, a babbling sensor).
    void SetChatter(std::string text, int periodMs);
    // Closes the terminal now, as an unplugged adapter would.
    void Vanish();
    bool Vanished() const { return m_bVanished; }

private:
    struct Timed {
        std::int64_t nDueNs;
        unsigned char byte;
        int nRate;
        std::int64_t nReadNs = 0; // inbound: when it was read from the terminal
    };

    void Run();
    void CloseTerminal();
    void Wake();
    std::int64_t ByteTimeNs(); // also refreshes m_nLineRate
    void PowerCycleLocked(std::int64_t nowNs); // m_mutex held

    PtyOptions m_options;
    mutable std::mutex m_mutex; // guards the model and the captures
    CameraModel m_model;
    std::string m_received;
    std::string m_sent;
    std::vector<LineByte> m_receivedLine;
    std::vector<LineByte> m_sentLine;
    int m_nPowerCycles = 0;          // guarded by m_mutex; the thread drops its queues when it moves
    std::int64_t m_nPowerCycleNs = 0; // guarded by m_mutex: the last power cycle
    std::int64_t m_nStartNs = 0;
    std::string m_strChatter;   // guarded by m_mutex
    int m_nChatterPeriodMs = 0; // guarded by m_mutex

    int m_nMaster = -1;
    int m_nSlave = -1; // held open so the host may close and reopen the device at will
    int m_wakePipe[2] = {-1, -1};
    std::string m_strDevicePath;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bFlood{false};
    std::atomic<bool> m_bVanishRequested{false};
    std::atomic<bool> m_bVanished{false};
    std::atomic<int> m_nLineRate{115200};
};
