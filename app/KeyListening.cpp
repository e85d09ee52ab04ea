#include "app/KeyListening.h"

#include "keyboard/SynthesizerKeyboard.h"

using namespace platform;

std::unique_ptr<KeyListener> ListenForKeys(WindowSystem& system, Window* window,
                                           CSynthesizerKeyboard* keyboard) {
    if (!keyboard) {
        return nullptr;
    }
    // The keyboard acts on changes only once it reads the listener's state, so a change that
    // arrives before then is found by the next frame's scan.
    std::unique_ptr<KeyListener> listener =
        system.ListenForKeys(window, [keyboard] { keyboard->OnKeysChanged(); });
    if (listener) {
        keyboard->SetListenedKeyStateSource(
            [source = listener.get()](std::uint8_t* keys) { return source->GetKeyboardState(keys); });
    }
    return listener;
}
