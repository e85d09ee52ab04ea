// tovel: make, play and keep timbres.

#include "app/Application.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

int main() {
    std::unique_ptr<platform::WindowSystem> system = platform::CreateWindowSystem();
    platform::SetMessageBoxPresenter(platform::CreateDefaultMessageBoxPresenter());
    return RunApplication(*system);
}
