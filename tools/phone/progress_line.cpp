#include "tools/phone/progress_line.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <utility>

#include "tools/phone/reply_format.h"

namespace tessel::phone {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds first_shown(250);
constexpr milliseconds redraw_every(100);

// "1,234,567"
std::string grouped(std::size_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

// "812 B", "45.3 kB", "3.34 MB" (powers of ten, as link rates are given)
std::string amount(double bytes) {
    char text[32];
    if (bytes < 1000) {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    } else if (bytes < 1e6) {
        std::snprintf(text, sizeof text, "%.1f kB", bytes / 1e3);
    } else {
        std::snprintf(text, sizeof text, "%.2f MB", bytes / 1e6);
    }
    return text;
}

}  // namespace

progress_line::progress_line(std::ostream& terminal, std::function<int()> columns)
    : terminal_(terminal), columns_(std::move(columns)) {}

void progress_line::begin(std::string_view code, std::optional<std::size_t> expected_entries) {
    code_ = code;
    expected_entries_ = expected_entries;
    start_ = clock::now();
    last_draw_ = start_;
}

void progress_line::advance(std::size_t bytes, std::size_t entries) {
    const clock::time_point now = clock::now();
    if (now - start_ < first_shown || now - last_draw_ < redraw_every) {
        return;
    }
    last_draw_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const int columns = columns_ ? columns_() : 80;
    const std::size_t width = static_cast<std::size_t>(std::max(columns, 20)) - 1;
    draw(render(code_, bytes, entries, expected_entries_, static_cast<double>(bytes) / seconds,
                width));
}

void progress_line::end() {
    if (shown_width_ != 0) {
        terminal_ << '\r' << std::string(shown_width_, ' ') << '\r' << std::flush;
        shown_width_ = 0;
    }
}

void progress_line::draw(const std::string& line) {
    terminal_ << '\r' << line;
    if (line.size() < shown_width_) {
        terminal_ << std::string(shown_width_ - line.size(), ' ');
    }
    shown_width_ = std::max(shown_width_, line.size());
    terminal_ << std::flush;
}

std::string progress_line::render(std::string_view code, std::size_t bytes, std::size_t entries,
                                  std::optional<std::size_t> expected_entries,
                                  double bytes_per_second, std::size_t width) {
    std::string line(code);
    std::string counted = grouped(entries);
    if (expected_entries && *expected_entries != 0) {
        const double done =
            std::min(1.0, static_cast<double>(entries) / static_cast<double>(*expected_entries));
        line.append(" ").append(text_bar(done, 20)).append(" ");
        line.append(std::to_string(static_cast<int>(done * 100))).append("%");
        counted.append(" of ").append(grouped(*expected_entries));
    }
    line.append("  ").append(counted).append(" entries  ");
    line.append(amount(static_cast<double>(bytes))).append("  ");
    line.append(amount(bytes_per_second)).append("/s");
    if (line.size() > width) {
        line.resize(width);
    }
    return line;
}

}  // namespace tessel::phone
