// Message boxes.
// Provides: SDL's simple message box (an information box with an empty title and OK), its text
// wrapped as the system's boxes wrap it, and a recorder for runs where a box would block with
// nobody to close it.
// Limitations: SDL gives the box no owner, so it may open behind a full-screen window; when SDL
// cannot show a box at all the text goes to stderr instead.
// Depends on: SDL2 (video, started by SDL itself for the box), the environment variables
// TOVEL_MESSAGE_BOX, DISPLAY and WAYLAND_DISPLAY for the default choice.

#include "platform/window/MessageBox.h"

#include <SDL_messagebox.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace platform {

namespace {

// SDL's box grows as wide as its longest line, past the screen's edges if need be.
constexpr std::size_t kMessageBoxColumns = 80;

// Held while a box is shown too, so that a presenter is not replaced while it shows one.
std::mutex g_instanceMutex;
MessageBoxPresenter* g_instance = nullptr;

MessageBoxPresenter* InstanceLocked() {
    if (!g_instance) {
        g_instance = CreateDefaultMessageBoxPresenter().release();
    }
    return g_instance;
}

// Named after the program that speaks, so sstovel's messages are not taken for the instrument's.
void WriteToStderr(std::string_view text) {
    std::fprintf(stderr, "%s: %.*s\n", program_invocation_short_name, static_cast<int>(text.size()),
                 text.data());
}

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return true;
        }
    }
    return false;
}

class SdlMessageBoxPresenter final : public MessageBoxPresenter {
public:
    void Show(std::string_view text) override {
        const std::string message = WrapMessageText(text, kMessageBoxColumns);
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, "", message.c_str(), nullptr) !=
            0) {
            WriteToStderr(text);
        }
    }
};

}  // namespace

void MessageBoxRecorder::Show(std::string_view text) {
    m_texts.emplace_back(text);
    if (m_echo) {
        WriteToStderr(text);
    }
}

std::unique_ptr<MessageBoxPresenter> CreateSdlMessageBoxPresenter() {
    return std::make_unique<SdlMessageBoxPresenter>();
}

std::unique_ptr<MessageBoxPresenter> CreateDefaultMessageBoxPresenter() {
    const char* choice = std::getenv("TOVEL_MESSAGE_BOX");
    if ((choice && std::string_view(choice) == "stderr") || !HasDisplay()) {
        return std::make_unique<MessageBoxRecorder>(true);
    }
    return CreateSdlMessageBoxPresenter();
}

MessageBoxPresenter* MessageBoxPresenter::Instance() {
    std::lock_guard lock(g_instanceMutex);
    return InstanceLocked();
}

void MessageBoxPresenter::DeleteInstance() {
    std::lock_guard lock(g_instanceMutex);
    delete g_instance;
    g_instance = nullptr;
}

MessageBoxPresenter* MessageBoxPresenter::SetInstance(MessageBoxPresenter* presenter) {
    std::lock_guard lock(g_instanceMutex);
    return std::exchange(g_instance, presenter);
}

std::string WrapMessageText(std::string_view text, std::size_t columns) {
    // Characters, not bytes: continuation bytes (10xxxxxx) belong to the character before them.
    auto length = [](std::string_view piece) {
        std::size_t count = 0;
        for (const char c : piece) {
            count += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
        }
        return count;
    };
    std::string wrapped;
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        const std::size_t lineEnd = std::min(text.find('\n', lineStart), text.size());
        std::size_t used = 0;
        for (std::size_t word = lineStart; word < lineEnd;) {
            const std::size_t wordEnd = std::min(text.find(' ', word), lineEnd);
            const std::string_view piece = text.substr(word, wordEnd - word);
            if (used > 0 && used + 1 + length(piece) > columns) {
                wrapped += '\n';
                used = 0;
            } else if (word > lineStart) {
                wrapped += ' ';
                ++used;
            }
            wrapped += piece;
            used += length(piece);
            word = wordEnd + 1;
        }
        if (lineEnd < text.size()) {
            wrapped += '\n';
        }
        lineStart = lineEnd + 1;
    }
    return wrapped;
}

void MessageBox(std::string_view text) {
    std::lock_guard lock(g_instanceMutex);
    InstanceLocked()->Show(text);
}

}  // namespace platform
