// orvane-camsim: the simulated camera on a pseudo-terminal.
#include "camsim_options.h"
#include "pty_camera.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <thread>

namespace {

std::atomic<bool> g_bQuit{false};

void OnSignal(int)
{
    g_bQuit = true;
}

void ReportImage(const std::string& captureDir, std::size_t index, const ReceivedImage& image)
{
    std::printf("received image %zu: type %d, %u bytes, checksum %04x, answered %s\n", index + 1, image.nType,
                image.nLength, image.nChecksum, image.strVerdict.c_str());
    if (!captureDir.empty()) {
        const std::string path =
            captureDir + "/image-" + std::to_string(index + 1) + "-type" + std::to_string(image.nType) + ".bin";
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

    PtyCamera camera(options.faults, options.timing, options.pty);
    for (const auto& [address, value] : options.registers)
        camera.SetRegister(address, static_cast<std::uint8_t>(value));
    if (!camera.Start(&error)) {
        std::fprintf(stderr, "orvane-camsim: %s\n", error.c_str());
        return 1;
    }
    camera.SetFlood(options.bFlood);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    std::printf("orvane-camsim: camera on %s\n", camera.DevicePath().c_str());
    if (!options.pty.strLinkPath.empty())
        std::printf("orvane-camsim: linked as %s\n", options.pty.strLinkPath.c_str());
    std::fflush(stdout);

    std::size_t saved = 0;
    while (!g_bQuit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (camera.Vanished()) {
            std::puts("orvane-camsim: terminal closed (--vanish-after)");
            break;
        }
        const std::vector<ReceivedImage> images = camera.Images();
        for (; saved < images.size(); ++saved)
            ReportImage(options.strCaptureDir, saved, images[saved]);
    }
    camera.Stop();
    return 0;
}
