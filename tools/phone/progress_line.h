#pragma once
// A long reply's progress for a person at a terminal: one line on the error stream, redrawn in
// place as the bytes come, gone when the reply is complete. It waits a moment before it first
// shows, so a quick reply leaves no trace, and it is redrawn a few times a second at most.

#include <chrono>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "tools/phone/phone_session.h"

namespace tessel::phone {

class progress_line final : public reply_progress {
  public:
    using clock = std::chrono::steady_clock;

    // columns answers the terminal's width: the line stays shorter, so that it never wraps.
    progress_line(std::ostream& terminal, std::function<int()> columns);

    void begin(std::string_view code, std::optional<std::size_t> expected_entries) override;
    void advance(std::size_t bytes, std::size_t entries) override;
    void end() override;

    // The line for these figures, at most width characters.
    static std::string render(std::string_view code, std::size_t bytes, std::size_t entries,
                              std::optional<std::size_t> expected_entries, double bytes_per_second,
                              std::size_t width);

  private:
    void draw(const std::string& line);

    std::ostream& terminal_;
    std::function<int()> columns_;
    std::string code_;
    std::optional<std::size_t> expected_entries_;
    clock::time_point start_{};
    clock::time_point last_draw_{};
    std::size_t shown_width_ = 0;  // characters of the line on screen; 0 when none is
};

}  // namespace tessel::phone
