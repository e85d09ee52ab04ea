#pragma once
// Keys heard while a frame draws. The frame loop scans the keys once per frame, so on its own a
// key pressed during a frame of 30 ms waits for that frame to end before its note starts. Where
// the window system can watch the keys apart from its event queue, a listener's thread starts and
// releases the notes as the keys change; the frames go on raising and releasing the columns.

#include <memory>

#include "platform/window/Window.h"

class CSynthesizerKeyboard;

// Starts listening to the keys of `window` for `keyboard`, which from then on reads its keys from
// the listener. Null where the system has no listener: the keyboard then keeps reading the
// system's key state once per frame. The listener must go before the keyboard and the window.
std::unique_ptr<platform::KeyListener> ListenForKeys(platform::WindowSystem& system,
                                                     platform::Window* window,
                                                     CSynthesizerKeyboard* keyboard);
