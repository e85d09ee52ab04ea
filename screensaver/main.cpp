// sstovel: the screen saver of tovel, rising columns or a turning ring of jewels.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog/Dialog.h"
#include "platform/window/MessageBox.h"
#include "platform/window/Window.h"
#include "screensaver/ConfigureDialog.h"
#include "screensaver/SaverOptions.h"
#include "screensaver/ScreenSaver.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    SaverOptions options;
    std::string error;
    if (!ParseSaverOptions(args, std::getenv("XSCREENSAVER_WINDOW"), &options, &error)) {
        if (!error.empty()) {
            std::fprintf(stderr, "sstovel: %s\n", error.c_str());
        }
        std::fputs(kSaverUsage, error.empty() ? stdout : stderr);
        return error.empty() ? 0 : 2;
    }
    if (options.mode == SaverMode::Configure) {
        if (ScreenSaverConfigureDialog(nullptr) < 0) {
            platform::MessageBox("A graphical display is needed, and none could be opened.");
            return 1;
        }
        return 0;
    }
    std::unique_ptr<platform::WindowSystem> system = platform::CreateSdlWindowSystem();
    if (!system) {
        platform::MessageBox("A graphical display is needed, and none could be opened.");
        return 1;
    }
    return RunScreenSaver(*system, options);
}
