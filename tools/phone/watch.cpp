#include "tools/phone/watch.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ostream>

#include "support/utf8.h"
#include "tools/phone/console.h"
#include "tools/phone/reply_format.h"

namespace tessel::phone {
namespace {

using clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds poll_every(500);

struct player_view {
    status_reply status;
    int volume = 0;
};

bool advancing(const status_reply& status) {
    return status.playing() && !status.paused();
}

// The first columns characters of UTF-8 text (one column a character).
std::string fit(std::string_view text, std::size_t columns) {
    std::size_t at = 0;
    for (std::size_t shown = 0; at < text.size() && shown < columns; ++shown) {
        const std::size_t length = utf8_unicode_char_length(text.data() + at, text.size() - at);
        at += length != 0 ? length : 1;
    }
    return std::string(text.substr(0, at));
}

// Anything a person would call a change: all but the position moving on as it plays.
bool changed(const player_view& before, const player_view& now, clock::duration between) {
    const status_reply& a = before.status;
    const status_reply& b = now.status;
    if (a.state_bits != b.state_bits || a.length != b.length || a.shuffle != b.shuffle ||
        a.repeat != b.repeat || a.title != b.title || before.volume != now.volume) {
        return true;
    }
    const auto played =
        advancing(b) ? std::chrono::duration_cast<std::chrono::seconds>(between).count() : 0;
    return std::abs(b.position - (a.position + played)) > 2;  // a seek
}

std::string change_line(const player_view& view, bool json) {
    if (json) {
        return R"({"status":)" + format_json(view.status) + R"(,"volume":)" +
               format_json(volume_reply{static_cast<std::uint8_t>(view.volume)}) + "}";
    }
    const status_reply& s = view.status;
    return std::string(state_name(s)) + "  " + clock_time(s.position) + " / " +
           clock_time(s.length) + "  volume " + std::to_string(view.volume) + "  shuffle " +
           std::string(on_off(s.shuffle)) + "  repeat " + std::string(on_off(s.repeat)) + "  " +
           s.title;
}

// Draws the display over the one drawn before (shown lines of it).
void redraw(std::ostream& out, const std::vector<std::string>& lines, std::size_t& shown) {
    if (shown > 1) {
        out << "\x1b[" << shown - 1 << "A";
    }
    out << '\r';
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out << lines[i] << "\x1b[K" << (i + 1 < lines.size() ? "\n" : "");
    }
    out << std::flush;
    shown = lines.size();
}

exchange_result ask(phone_session& session, const command_info& command) {
    return session.run(command, encode_request(command, {}).bytes);
}

}  // namespace

std::vector<std::string> watch_display(const status_reply& status, int volume, int columns) {
    const std::size_t width = static_cast<std::size_t>(std::max(columns, 30)) - 1;
    const std::string times =
        "  " + clock_time(status.position) + " / " + clock_time(status.length);
    const double played = status.length > 0 ? static_cast<double>(status.position) /
                                                  static_cast<double>(status.length)
                                            : 0.0;
    const std::size_t bar = std::min<std::size_t>(40, width - times.size() - 2);
    const std::string settings = std::string(state_name(status)) + "   volume " +
                                 std::to_string(volume) + " of 255   shuffle " +
                                 std::string(on_off(status.shuffle)) + "   repeat " +
                                 std::string(on_off(status.repeat)) + "   (q: quit)";
    return {fit(status.title.empty() ? "(no title)" : status.title, width),
            fit(text_bar(played, bar) + times, width), fit(settings, width)};
}

exchange_result run_watch(phone_session& session, const tool_options& options, std::ostream& out) {
    const command_info& info = *find_command("INF2");
    const command_info& volume = *find_command("GVOL");
    watch_terminal terminal;
    const bool display = terminal.can_redraw() && !options.json;
    std::size_t shown = 0;
    std::optional<player_view> last;
    clock::time_point last_at{};
    exchange_result failed;
    while (true) {
        const clock::time_point cycle = clock::now();
        exchange_result status = ask(session, info);
        exchange_result level =
            status.outcome == exchange_outcome::ok ? ask(session, volume) : exchange_result{};
        if (status.outcome != exchange_outcome::ok || level.outcome != exchange_outcome::ok) {
            failed = status.outcome != exchange_outcome::ok ? std::move(status) : std::move(level);
            break;
        }
        const player_view now{std::get<status_reply>(*status.value),
                              std::get<volume_reply>(*level.value).level};
        if (display) {
            redraw(out, watch_display(now.status, now.volume, terminal_columns()), shown);
        } else if (!last || changed(*last, now, cycle - last_at)) {
            out << change_line(now, options.json) << "\n" << std::flush;
        }
        last = now;
        last_at = cycle;
        const auto spent = std::chrono::duration_cast<milliseconds>(clock::now() - cycle);
        if (terminal.wait_for_quit(poll_every - spent)) {
            break;
        }
    }
    if (shown != 0) {
        out << "\n" << std::flush;  // what follows goes below the last display
    }
    return failed;
}

}  // namespace tessel::phone
