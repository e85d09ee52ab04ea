#include "screensaver/SaverOptions.h"

#include <charconv>

#include "screensaver/SaverSettings.h"

namespace {

// "--name" and "-name" alike.
std::string_view OptionName(std::string_view arg) {
    if (arg.starts_with("--")) {
        return arg.substr(2);
    }
    if (arg.starts_with("-") && arg.size() > 1) {
        return arg.substr(1);
    }
    return {};
}

template <class T>
std::optional<T> ParseNumber(std::string_view text, int base) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::uint64_t> ParseWindowId(std::string_view text) {
    std::optional<std::uint64_t> id;
    if (text.starts_with("0x") || text.starts_with("0X")) {
        id = ParseNumber<std::uint64_t>(text.substr(2), 16);
    } else {
        id = ParseNumber<std::uint64_t>(text, 10);
    }
    if (id && *id == 0) {
        return std::nullopt;
    }
    return id;
}

bool ParseSaverOptions(std::span<const std::string_view> args, const char* xscreensaverWindow,
                       SaverOptions* options, std::string* error) {
    SaverOptions parsed;
    bool modeGiven = false;
    auto setMode = [&](SaverMode mode) {
        if (modeGiven && parsed.mode != mode) {
            *error = "only one of -s, --window, --root, --window-id and -c may be given";
            return false;
        }
        modeGiven = true;
        parsed.mode = mode;
        return true;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view name = OptionName(args[i]);
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= args.size()) {
                *error = std::string(args[i]) + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (name == "s") {
            if (!setMode(SaverMode::FullScreen)) {
                return false;
            }
        } else if (name == "window") {
            if (!setMode(SaverMode::Window)) {
                return false;
            }
        } else if (name == "c") {
            if (!setMode(SaverMode::Configure)) {
                return false;
            }
        } else if (name == "root") {
            if (!setMode(SaverMode::Foreign)) {
                return false;
            }
            const std::optional<std::uint64_t> id =
                xscreensaverWindow ? ParseWindowId(xscreensaverWindow) : std::nullopt;
            if (!id) {
                *error = "--root draws into the window named by XSCREENSAVER_WINDOW, which is " +
                         std::string(xscreensaverWindow ? "not a window id" : "not set");
                return false;
            }
            parsed.windowId = *id;
        } else if (name == "window-id") {
            const std::optional<std::string_view> text = value();
            if (!text || !setMode(SaverMode::Foreign)) {
                return false;
            }
            const std::optional<std::uint64_t> id = ParseWindowId(*text);
            if (!id) {
                *error = "--window-id takes an X window id, not \"" + std::string(*text) + "\"";
                return false;
            }
            parsed.windowId = *id;
        } else if (name == "arrangement") {
            const std::optional<std::string_view> text = value();
            if (!text) {
                return false;
            }
            if (*text == "bubble") {
                parsed.arrangement = kBubble;
            } else if (*text == "circle") {
                parsed.arrangement = kCircle;
            } else {
                *error = "--arrangement is bubble or circle, not \"" + std::string(*text) + "\"";
                return false;
            }
        } else if (name == "hue") {
            const std::optional<std::string_view> text = value();
            if (!text) {
                return false;
            }
            const std::optional<int> hue = ParseNumber<int>(*text, 10);
            if (!hue || *hue < -1 || *hue > 359) {
                *error = "--hue is a hue in degrees (0 to 359) or -1 for changing colours, not \"" +
                         std::string(*text) + "\"";
                return false;
            }
            parsed.hue = *hue;
        } else if (name == "help" || name == "h") {
            error->clear();
            return false;
        } else {
            *error = "unknown argument \"" + std::string(args[i]) + "\"";
            return false;
        }
    }
    *options = parsed;
    return true;
}
