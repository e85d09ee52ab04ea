// tovel: make, play and keep timbres.

#include "app/Application.h"
#include "app/StartupTimes.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"

int main() {
    // Start-up is timed from here.
    CStartupTimes::Instance();
    // The instrument is a window to look at and play: without a display there is nothing to do.
    std::unique_ptr<platform::WindowSystem> system = platform::CreateSdlWindowSystem();
    int exitCode = platform::kFailureExitCode;
    if (system) {
        exitCode = RunApplication(*system);
    } else {
        platform::MessageBox("A graphical display is needed, and none could be opened.");
    }
    system.reset();
    CStartupTimes::DeleteInstance();
    return exitCode;
}
