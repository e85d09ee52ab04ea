// tovel: make, play and keep timbres.

#include "app/Application.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

int main() {
    // The instrument is a window to look at and play: without a display there is nothing to do.
    std::unique_ptr<platform::WindowSystem> system = platform::CreateSdlWindowSystem();
    if (!system) {
        platform::MessageBox("A graphical display is needed, and none could be opened.");
        return platform::kFailureExitCode;
    }
    return RunApplication(*system);
}
