#pragma once
// Keys seen as they go down and up, on a thread of the listener's own, so that a struck key is
// heard while the user-interface thread is still busy drawing a frame. The state it keeps is the
// one the program reads its keys from while it listens: the key table's keys that are down while
// the window has the keyboard focus.

#include <cstdint>
#include <functional>

namespace platform {

class KeyListener {
public:
    // Runs on the listener's thread after the key state has changed; it reads the state with
    // GetKeyboardState. It is never called again once the listener's destructor has returned.
    using ChangeCallback = std::function<void()>;

    virtual ~KeyListener() = default;
    // keys[vk] = 0x80 for every virtual key of the key table that is down, 0 otherwise; safe
    // from any thread.
    virtual bool GetKeyboardState(std::uint8_t* keys) const = 0;
};

}  // namespace platform
