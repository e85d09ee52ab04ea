#pragma once
// Message boxes as the system shows them: no owner window, no caption, one OK button, blocking
// until closed. Where nobody could click (tests, headless runs) a recorder takes their place.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class MessageBoxPresenter {
public:
    // The process's presenter, the default one (CreateDefaultMessageBoxPresenter) made on the
    // first call.
    static MessageBoxPresenter* Instance();
    static void DeleteInstance();
    // Installs `presenter` and hands back the previous one, which the caller then owns.
    static MessageBoxPresenter* SetInstance(MessageBoxPresenter* presenter);

    virtual ~MessageBoxPresenter() = default;
    virtual void Show(std::string_view text) = 0;
};

// Keeps every text in order instead of showing it; with echo on, also writes it to stderr so a
// headless run still tells why it stopped.
class MessageBoxRecorder final : public MessageBoxPresenter {
public:
    explicit MessageBoxRecorder(bool echoToStderr = false) : m_echo(echoToStderr) {}
    void Show(std::string_view text) override;
    const std::vector<std::string>& Texts() const { return m_texts; }

private:
    bool m_echo;
    std::vector<std::string> m_texts;
};

std::unique_ptr<MessageBoxPresenter> CreateSdlMessageBoxPresenter();

// What start-up installs: the echoing recorder when TOVEL_MESSAGE_BOX=stderr or there is no
// display to show a box on, SDL's message box otherwise.
std::unique_ptr<MessageBoxPresenter> CreateDefaultMessageBoxPresenter();

// Shows `text` through the process's presenter; returns once the box is closed.
void MessageBox(std::string_view text);

// The text with every line longer than `columns` characters broken at spaces; a word longer
// than a line keeps a line of its own. The system's boxes wrap long lines, SDL's do not.
std::string WrapMessageText(std::string_view text, std::size_t columns);

}  // namespace platform
