// orvane-camsim: the simulated camera on a pseudo-terminal.
#include "sim/camsim_options.h"
#include "sim/pty_camera.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <poll.h>

namespace {

std::atomic<bool> g_bQuit{false};
std::atomic<bool> g_bPowerCycle{false};

void OnQuit(int)
{
    g_bQuit = true;
}

void OnPowerCycle(int)
{
    g_bPowerCycle = true;
}

// The signals are held back except while the main loop waits, so none
// arrives between its check of the flags and the wait.
void InstallSignals(sigset_t* waitMask)
{
    sigset_t handled;
    sigemptyset(&handled);
    for (const int signal : {SIGINT, SIGTERM, SIGUSR1})
        sigaddset(&handled, signal);
    sigprocmask(SIG_BLOCK, &handled, waitMask);
    const auto install = [](int signal, void (*handler)(int)) {
        struct sigaction action {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    };
    install(SIGINT, OnQuit);
    install(SIGTERM, OnQuit);
    install(SIGUSR1, OnPowerCycle);
}

// `camera` names one of several ("camera2-"), empty for a single one.
void ReportImage(const std::string& captureDir, const std::string& camera, std::size_t index, const ReceivedImage& image)
{
    std::printf("%sreceived image %zu: type %d, %u bytes, checksum %04x, answered %s\n", camera.c_str(), index + 1,
                image.nType, image.nLength, image.nChecksum, image.strVerdict.c_str());
    if (!captureDir.empty()) {
        const std::string path = captureDir + "/" + camera + "image-" + std::to_string(index + 1) + "-type"
                                 + std::to_string(image.nType) + ".bin";
        std::ofstream(path, std::ios::binary).write(image.bytes.data(), static_cast<std::streamsize>(image.bytes.size()));
        std::printf("  written to %s\n", path.c_str());
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    CamsimOptions options;
    std::string error;
    if (!ParseCamsimOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
        std::fprintf(stderr, "orvane-camsim: %s\n\n%s", error.c_str(), CamsimHelp().c_str());
        return 2;
    }
    if (options.bHelp) {
        std::fputs(CamsimHelp().c_str(), stdout);
        return 0;
    }

    std::vector<std::unique_ptr<PtyCamera>> cameras;
    for (int n = 0; n < options.nCount; ++n) {
        auto camera = std::make_unique<PtyCamera>(options.faults, options.timing, options.pty);
        for (const auto& [address, value] : options.registers)
            camera->SetRegister(address, static_cast<std::uint8_t>(value));
        if (!camera->Start(&error)) {
            std::fprintf(stderr, "orvane-camsim: %s\n", error.c_str());
            return 1;
        }
        camera->SetFlood(options.bFlood);
        cameras.push_back(std::move(camera));
    }
    sigset_t waitMask;
    InstallSignals(&waitMask);

    const auto name = [&](std::size_t n) { return cameras.size() > 1 ? "camera" + std::to_string(n + 1) + "-" : std::string(); };
    for (std::size_t n = 0; n < cameras.size(); ++n)
        std::printf("orvane-camsim: camera%s on %s\n", cameras.size() > 1 ? (" " + std::to_string(n + 1)).c_str() : "",
                    cameras[n]->DevicePath().c_str());
    if (!options.pty.strLinkPath.empty())
        std::printf("orvane-camsim: linked as %s\n", options.pty.strLinkPath.c_str());
    std::fflush(stdout);

    std::vector<std::size_t> saved(cameras.size(), 0);
    std::vector<bool> told(cameras.size(), false);
    std::vector<int> powerCycles(cameras.size(), 0);
    std::size_t vanished = 0;
    while (!g_bQuit && vanished < cameras.size()) {
        // A signal ends the wait at once.
        const timespec wait{0, 100'000'000};
        ::ppoll(nullptr, 0, &wait, &waitMask);
        if (g_bPowerCycle.exchange(false)) {
            for (const auto& camera : cameras)
                camera->PowerCycle();
        }
        for (std::size_t n = 0; n < cameras.size(); ++n) {
            // Told once it has happened, whether by SIGUSR1 or --power-cycle-after.
            for (const int count = cameras[n]->PowerCycleCount(); powerCycles[n] < count; ++powerCycles[n]) {
                std::printf("orvane-camsim: %spower cycle\n", name(n).c_str());
                std::fflush(stdout);
            }
            const std::vector<ReceivedImage> images = cameras[n]->Images();
            for (; saved[n] < images.size(); ++saved[n])
                ReportImage(options.strCaptureDir, name(n), saved[n], images[saved[n]]);
            if (cameras[n]->Vanished() && !told[n]) {
                told[n] = true;
                ++vanished;
                std::printf("orvane-camsim: %sterminal closed (--vanish-after)\n", name(n).c_str());
                std::fflush(stdout);
            }
        }
    }
    for (const auto& camera : cameras)
        camera->Stop();
    return 0;
}
