#pragma once
// One conversation with the PC over a connection: send a request, read its reply as far as
// its layout says, keep the pace the PC reads at.
//
// Pace: the PC takes one command per 100 ms and answers INFO only 300 ms after it arrived, so
// each request goes out at least `pace` after the previous exchange ended. A reply must begin
// within `timeout` and may not fall silent for longer than `timeout` before it is complete.
// INFO's title has no end mark: the reply ends when the line has been quiet for `quiet`.
//
// Bytes are read into the session's own buffer and replies framed from there. A serial read
// returns when its block is full or the line pauses between bytes, and waits longer the larger
// the block when nothing comes at all. So a read asks for what has already arrived, all of it
// at once, or else for no more than the reply still needs: it never waits out the line's pause
// after a reply's last byte, and a read of nothing ends within the time limit (or within
// `quiet` where silence may end the reply).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/phone/command_table.h"
#include "tools/phone/reply_decoder.h"
#include "transport/connection.h"

namespace tessel::phone {

struct session_options {
    std::chrono::milliseconds timeout{3000};
    std::chrono::milliseconds quiet{250};
    std::chrono::milliseconds pace{100};
};

enum class exchange_outcome {
    ok,
    no_reply,      // nothing arrived within the time limit
    cut_off,       // the reply began but stopped before its end
    bad_reply,     // the bytes are not the reply expected
    write_failed,  // the request did not go out whole
    port_failed,   // the port stopped working (the link has gone)
};

// Told how a long reply (a folder tree, a playlist) comes in, for a person to watch.
class reply_progress {
  public:
    virtual ~reply_progress() = default;
    // The request for such a reply went out. expected_entries: how many entries it will hold,
    // when that is known (a playlist whose length was asked just before).
    virtual void begin(std::string_view code, std::optional<std::size_t> expected_entries) = 0;
    // Bytes and entries received so far.
    virtual void advance(std::size_t bytes, std::size_t entries) = 0;
    // The reply is complete, or will not be.
    virtual void end() = 0;
};

struct exchange_result {
    exchange_outcome outcome = exchange_outcome::ok;
    std::vector<std::uint8_t> request;
    std::vector<std::uint8_t> reply;   // every byte received for this exchange
    std::optional<reply_value> value;  // the decoded reply, for commands that draw one
    std::string error;                 // what went wrong, for a person to read
};

class phone_session {
  public:
    using clock = std::chrono::steady_clock;

    // port_failed, when given, tells whether a read that brought nothing failed because the
    // port itself did, rather than because the line was quiet.
    // input_waiting, when given, answers how many bytes have arrived and were not read yet.
    phone_session(connection& link, session_options options, std::function<bool()> port_failed = {},
                  std::function<std::size_t()> input_waiting = {});

    // Where long replies report how they come in; none when null.
    void set_progress(reply_progress* progress) { progress_ = progress; }

    // Sends the request of command and, when the command draws a reply, reads and decodes it.
    exchange_result run(const command_info& command, std::vector<std::uint8_t> request);

    // Sends bytes as they are and collects whatever comes back: up to `timeout` for a first
    // byte, then until the line is quiet. Silence is not an error here.
    exchange_result run_raw(std::vector<std::uint8_t> request);

    // Reads and drops bytes until the line has been quiet for `quiet` (at most `timeout`
    // in all). After a broken exchange this brings the line back to a command boundary.
    std::size_t drain();

  private:
    bool send(exchange_result& result);
    // One read into the buffer: of every byte that has arrived, or when none has, of `wanted`
    // bytes (never more than a read can wait for within `limit`). False when nothing came: the
    // connection's read timed out, or the port failed.
    bool fill(std::size_t wanted, std::chrono::milliseconds limit);
    std::span<const std::uint8_t> waiting() const;
    void take(std::size_t count);
    // Empties the buffer and answers how many bytes it held.
    std::size_t drop_waiting();
    bool port_has_failed() const { return port_failed_ && port_failed_(); }
    void fail_port(exchange_result& result) const;
    void wait_for_pace();

    connection& link_;
    session_options options_;
    std::function<bool()> port_failed_;
    std::function<std::size_t()> input_waiting_;
    reply_progress* progress_ = nullptr;
    std::optional<std::size_t> playlist_length_;  // from the last PLEN reply
    clock::time_point next_send_{};
    std::vector<std::uint8_t> inbox_;  // read from the connection, not yet taken
    std::size_t inbox_at_ = 0;         // the first byte not yet taken
};

}  // namespace tessel::phone
