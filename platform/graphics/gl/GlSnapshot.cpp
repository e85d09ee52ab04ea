// The picture a device presented, written as a PNG (TOVEL_SNAPSHOT=FILE.png) so that tests and
// people can look at what the program showed: at one present, and again after each SIGUSR1.
// Depends on SDL2_image.

#include <SDL.h>
#include <SDL_image.h>

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/graphics/gl/GlDevice.h"

namespace platform {

namespace {

volatile sig_atomic_t g_snapshotRequested = 0;

void RequestSnapshot(int) {
    g_snapshotRequested = 1;
}

}  // namespace

void GlDevice::ListenForSnapshotRequests() {
    struct sigaction action {};
    action.sa_handler = RequestSnapshot;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, nullptr);
}

bool GlDevice::SnapshotDue() {
    if (m_snapshotPath.empty()) {
        return false;
    }
    const bool requested = g_snapshotRequested != 0;
    g_snapshotRequested = 0;
    return requested || m_presents == m_snapshotFrame;
}

void GlDevice::WriteSnapshot(int width, int height) {
    // Read what the window was just given, so the picture is the presented one, scaling and
    // orientation included; GL hands the window's rows over bottom first.
    const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    std::vector<D3DCOLOR> rows(w * h), pixels(w * h);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
    for (std::size_t y = 0; y < h; ++y) {
        std::copy_n(rows.data() + (h - 1 - y) * w, w, pixels.data() + y * w);
    }
    // The window shows no alpha, so neither does the picture of it.
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), width, height, 32,
                                                              width * 4, SDL_PIXELFORMAT_RGB888);
    // Written beside and renamed into place, so that whoever waits for the file never reads
    // half of it.
    const std::string partial = m_snapshotPath + ".part";
    if (!surface || IMG_SavePNG(surface, partial.c_str()) != 0 ||
        std::rename(partial.c_str(), m_snapshotPath.c_str()) != 0) {
        std::fprintf(stderr, "snapshot %s: %s\n", m_snapshotPath.c_str(), SDL_GetError());
    }
    SDL_FreeSurface(surface);
}

}  // namespace platform
