#include "sim/pty_camera.h"

#include "sim/line_rate.h"

#include <cerrno>
#include <chrono>
#include <algorithm>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr std::int64_t kIdleTickNs = 20'000'000;

std::int64_t NowNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

PtyCamera::PtyCamera(CameraFaults faults, CameraTiming timing, PtyOptions options)
    : m_options(std::move(options)), m_model(std::move(faults), timing)
{
}

PtyCamera::~PtyCamera()
{
    Stop();
}

bool PtyCamera::Start(std::string* error)
{
    const auto fail = [&](const char* step) {
        if (error)
            *error = std::string(step) + ": " + std::strerror(errno);
        CloseFd(m_nSlave);
        CloseFd(m_nMaster);
        return false;
    };

    // Neither end is inherited by a program the host starts: a copy of the
    // master would keep the line alive after the camera vanished.
    m_nMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_nMaster < 0 || ::fcntl(m_nMaster, F_SETFD, FD_CLOEXEC) != 0)
        return fail("posix_openpt");
    char name[128];
    if (::grantpt(m_nMaster) != 0 || ::unlockpt(m_nMaster) != 0 || ::ptsname_r(m_nMaster, name, sizeof name) != 0)
        return fail("ptsname");
    m_strDevicePath = name;

    // A raw 115200 8N1 line until the host sets its own settings.
    m_nSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_nSlave < 0)
        return fail("open slave");
    termios settings {};
    ::tcgetattr(m_nSlave, &settings);
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B115200);
    ::tcsetattr(m_nSlave, TCSANOW, &settings);

    if (!m_options.strLinkPath.empty()) {
        ::unlink(m_options.strLinkPath.c_str());
        if (::symlink(name, m_options.strLinkPath.c_str()) != 0)
            return fail("symlink");
    }
    if (::pipe2(m_wakePipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return fail("pipe");

    m_nStartNs = NowNs();
    m_thread = std::thread([this] { Run(); });
    return true;
}

void PtyCamera::Stop()
{
    if (m_thread.joinable()) {
        m_bStop = true;
        Wake();
        m_thread.join();
    }
    CloseTerminal();
    CloseFd(m_wakePipe[0]);
    CloseFd(m_wakePipe[1]);
}

void PtyCamera::CloseTerminal()
{
    CloseFd(m_nMaster);
    CloseFd(m_nSlave);
    if (!m_options.strLinkPath.empty())
        ::unlink(m_options.strLinkPath.c_str());
}

void PtyCamera::Wake()
{
    if (m_wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakePipe[1], &byte, 1);
    }
}

std::int64_t PtyCamera::ByteTimeNs()
{
    if (m_nSlave >= 0)
        m_nLineRate = ReadLineRate(m_nSlave);
    const int rate = m_nLineRate;
    return m_options.bPaced && rate > 0 ? 10'000'000'000LL / rate : 0;
}

void PtyCamera::Run()
{
    std::deque<Timed> inbound;
    std::deque<Timed> outbound;
    std::int64_t inLineFreeNs = 0;
    std::int64_t outLineFreeNs = 0;
    int powerCyclesSeen = 0;
    std::int64_t chatterDueNs = -1;
    std::int64_t powerCycleDueNs =
        m_options.nPowerCycleAfterMs >= 0 ? m_nStartNs + std::int64_t(m_options.nPowerCycleAfterMs) * 1'000'000 : -1;

    while (!m_bStop) {
        if (m_bVanishRequested && m_nMaster >= 0) {
            CloseTerminal();
            inbound.clear();
            outbound.clear();
            m_bVanished = true;
        }
        const std::int64_t nowNs = NowNs();
        const std::int64_t byteNs = ByteTimeNs();

        {
            std::lock_guard lock(m_mutex);
            if (powerCycleDueNs >= 0 && nowNs >= powerCycleDueNs) {
                PowerCycleLocked(powerCycleDueNs);
                powerCycleDueNs = -1;
            }
            if (powerCyclesSeen != m_nPowerCycles) {
                // What was on its way when the power went is lost.
                // Bytes the host sent after it (read in the same round) are kept.
                powerCyclesSeen = m_nPowerCycles;
                std::erase_if(inbound, [this](const Timed& in) { return in.nReadNs <= m_nPowerCycleNs; });
                outbound.clear();
                outLineFreeNs = 0;
            }
            while (!inbound.empty() && inbound.front().nDueNs <= nowNs) {
                const Timed& in = inbound.front();
                if (m_options.bEcho) { // heard back as it leaves, ahead of any answer to it
                    outLineFreeNs = std::max(in.nDueNs, outLineFreeNs);
                    outbound.push_back({outLineFreeNs, in.byte, in.nRate});
                }
                // At a rate of its own the camera makes nothing of a byte sent at another.
                if (m_options.nOwnRate == 0 || in.nRate == m_options.nOwnRate)
                    m_model.Receive(in.byte, in.nDueNs / 1'000'000);
                m_received.push_back(static_cast<char>(in.byte));
                m_receivedLine.push_back({in.nDueNs, in.byte, in.nRate});
                inbound.pop_front();
                if (m_options.nVanishAfterBytes >= 0 && static_cast<long>(m_received.size()) >= m_options.nVanishAfterBytes)
                    m_bVanishRequested = true;
            }
            m_model.Tick(nowNs / 1'000'000);
            for (const CameraModel::Output& output : m_model.TakeOutput()) {
                for (const char ch : output.bytes) {
                    // A byte reaches the host once its last bit is on the line.
                    const std::int64_t startNs = std::max({nowNs, output.nDueMs * 1'000'000, outLineFreeNs});
                    outLineFreeNs = startNs + byteNs;
                    outbound.push_back({outLineFreeNs, static_cast<unsigned char>(ch), m_nLineRate});
                }
            }
            if (m_strChatter.empty()) {
                chatterDueNs = -1;
            } else if (nowNs >= chatterDueNs) {
                for (const char ch : m_strChatter) {
                    outLineFreeNs = std::max(nowNs, outLineFreeNs) + byteNs;
                    outbound.push_back({outLineFreeNs, static_cast<unsigned char>(ch), m_nLineRate});
                }
                chatterDueNs = nowNs + std::int64_t(m_nChatterPeriodMs) * 1'000'000;
            }
        }
        // A vanished terminal has no line to flood.
        if (m_bFlood && m_nMaster >= 0 && outbound.size() < 64) {
            for (int i = 0; i < 64; ++i) {
                outLineFreeNs = std::max(nowNs, outLineFreeNs) + byteNs;
                outbound.push_back({outLineFreeNs, 'x', m_nLineRate});
            }
        }

        std::vector<Timed> batch;
        while (!outbound.empty() && outbound.front().nDueNs <= nowNs) {
            batch.push_back(outbound.front());
            outbound.pop_front();
        }
        if (!batch.empty() && m_nMaster >= 0) {
            std::string bytes;
            for (const Timed& out : batch)
                bytes.push_back(static_cast<char>(out.byte));
            // A full terminal buffer loses the bytes, as a line nobody reads would.
            const ssize_t written = ::write(m_nMaster, bytes.data(), bytes.size());
            if (written > 0) {
                std::lock_guard lock(m_mutex);
                m_sent.append(bytes.data(), static_cast<std::size_t>(written));
                for (std::size_t i = 0; i < static_cast<std::size_t>(written); ++i)
                    m_sentLine.push_back({batch[i].nDueNs, batch[i].byte, batch[i].nRate});
            }
        }

        std::int64_t nextNs = nowNs + kIdleTickNs;
        if (!inbound.empty())
            nextNs = std::min(nextNs, inbound.front().nDueNs);
        if (!outbound.empty())
            nextNs = std::min(nextNs, outbound.front().nDueNs);
        if (powerCycleDueNs >= 0)
            nextNs = std::min(nextNs, powerCycleDueNs);
        if (chatterDueNs >= 0)
            nextNs = std::min(nextNs, chatterDueNs);
        const std::int64_t waitNs = std::max<std::int64_t>(0, nextNs - nowNs);
        const timespec timeout{static_cast<time_t>(waitNs / 1'000'000'000), static_cast<long>(waitNs % 1'000'000'000)};

        pollfd fds[2] = {{m_wakePipe[0], POLLIN, 0}, {m_nMaster, POLLIN, 0}};
        const nfds_t count = m_nMaster >= 0 ? 2 : 1;
        if (::ppoll(fds, count, &timeout, nullptr) <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(m_wakePipe[0], drain, sizeof drain) > 0) {
            }
        }
        if (count == 2 && (fds[1].revents & POLLIN)) {
            unsigned char buffer[4096];
            const ssize_t n = ::read(m_nMaster, buffer, sizeof buffer);
            const std::int64_t arrivedNs = NowNs();
            // The bytes travel at the rate the host has set now, not at the
            // one read before the wait.
            const std::int64_t arrivedByteNs = ByteTimeNs();
            for (ssize_t i = 0; i < n; ++i) {
                const std::int64_t dueNs = std::max(arrivedNs, inLineFreeNs) + arrivedByteNs;
                inLineFreeNs = dueNs;
                inbound.push_back({dueNs, buffer[i], m_nLineRate, arrivedNs});
            }
        }
    }
}

std::string PtyCamera::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::string PtyCamera::Sent() const
{
    std::lock_guard lock(m_mutex);
    return m_sent;
}

std::vector<LineByte> PtyCamera::ReceivedLine() const
{
    std::lock_guard lock(m_mutex);
    return m_receivedLine;
}

std::vector<LineByte> PtyCamera::SentLine() const
{
    std::lock_guard lock(m_mutex);
    return m_sentLine;
}

void PtyCamera::ClearCapture()
{
    std::lock_guard lock(m_mutex);
    m_received.clear();
    m_sent.clear();
    m_receivedLine.clear();
    m_sentLine.clear();
}

int PtyCamera::LineRate() const
{
    return m_nLineRate;
}

std::vector<ReceivedImage> PtyCamera::Images() const
{
    std::lock_guard lock(m_mutex);
    return m_model.Images();
}

std::uint8_t PtyCamera::Register(int address) const
{
    std::lock_guard lock(m_mutex);
    return m_model.Register(address);
}

void PtyCamera::SetRegister(int address, std::uint8_t value)
{
    std::lock_guard lock(m_mutex);
    m_model.SetRegister(address, value);
}

void PtyCamera::SetMute(bool mute)
{
    std::lock_guard lock(m_mutex);
    m_model.SetMute(mute);
}

int PtyCamera::RestartCount() const
{
    std::lock_guard lock(m_mutex);
    return m_model.RestartCount();
}

int PtyCamera::PowerCycleCount() const
{
    std::lock_guard lock(m_mutex);
    return m_model.PowerCycleCount();
}

void PtyCamera::PowerCycle()
{
    {
        std::lock_guard lock(m_mutex);
        PowerCycleLocked(NowNs());
    }
    Wake();
}

void PtyCamera::PowerCycleLocked(std::int64_t nowNs)
{
    m_model.PowerCycle(nowNs / 1'000'000);
    ++m_nPowerCycles;
    m_nPowerCycleNs = nowNs;
}

bool PtyCamera::Listening() const
{
    std::lock_guard lock(m_mutex);
    return m_model.Hears(NowNs() / 1'000'000);
}

void PtyCamera::SetFlood(bool on)
{
    m_bFlood = on;
    Wake();
}

void PtyCamera::SetChatter(std::string text, int periodMs)
{
    {
        std::lock_guard lock(m_mutex);
        m_strChatter = std::move(text);
        m_nChatterPeriodMs = periodMs;
    }
    Wake();
}

void PtyCamera::Vanish()
{
    m_bVanishRequested = true;
    Wake();
}
