#pragma once
// Where a reply ends. Replies carry no length, so each one is delimited by its own layout:
// fixed sizes, a zero byte after INF2's title, four zero bytes after the playlist, FF 00 after
// the folder tree. INFO's title has no end mark at all: it ends when the line goes quiet.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "tools/phone/command_table.h"

namespace tessel::phone {

enum class frame_state {
    need_more,          // the reply is not complete yet
    complete,           // the reply ended with the last byte fed
    complete_if_quiet,  // the reply may end here; it has ended if no further byte comes
    invalid,            // these bytes cannot be this reply; see error()
};

class reply_framer {
  public:
    // kind must not be reply_kind::none. token: what token_of() gives for the command.
    reply_framer(reply_kind kind, std::string token);

    // Feeds the next byte of the reply and answers the state after it. After complete or
    // invalid nothing more may be fed.
    frame_state feed(std::uint8_t byte);
    // Feeds bytes in order until the reply completes or turns out invalid, and answers how
    // many it took: the rest belong to whatever comes after the reply.
    std::size_t feed(std::span<const std::uint8_t> bytes);

    // The fewest bytes that could still complete the reply; 0 once it is complete, invalid,
    // or may end on silence.
    std::size_t missing() const;

    frame_state state() const { return state_; }
    std::size_t size() const { return size_; }
    // Entries complete so far: a folder tree's records, a playlist's lines; 0 for the others.
    std::size_t entries() const { return entries_; }
    const std::string& error() const { return error_; }

  private:
    frame_state feed_body(std::uint8_t byte);
    std::size_t body_missing() const;
    frame_state fail(std::string text);

    reply_kind kind_;
    std::string token_;
    frame_state state_ = frame_state::need_more;
    std::size_t size_ = 0;      // bytes fed
    std::size_t body_ = 0;      // bytes fed after the token
    std::size_t zero_run_ = 0;  // playlist: consecutive zero bytes after the index
    std::size_t entries_ = 0;
    bool index_is_zero_ = false;   // playlist: both index bytes were 00
    bool in_name_ = false;         // folder tree: inside a record's name
    bool after_end_byte_ = false;  // folder tree: FF seen, 00 must follow
    std::string error_;
};

}  // namespace tessel::phone
