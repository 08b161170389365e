#pragma once
// One conversation with the PC over a connection: send a request, read its reply as far as
// its layout says, keep the pace the PC reads at.
//
// Pace: the PC takes one command per 100 ms and answers INFO only 300 ms after it arrived, so
// each request goes out at least `pace` after the previous exchange ended. A reply must begin
// within `timeout` and may not fall silent for longer than `timeout` before it is complete.
// INFO's title has no end mark: the reply ends when the line has been quiet for `quiet`.
//
// Bytes are read in blocks into the session's own buffer and replies framed from there. A
// serial read returns when its block is full or the line pauses between bytes, but waits
// longer the larger the block when nothing comes at all: blocks grow while the bytes keep
// filling them, and stay small enough that a read of nothing ends within the time limit (or
// within `quiet` where silence may end the reply).

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
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
    phone_session(connection& link, session_options options,
                  std::function<bool()> port_failed = {});

    // Sends the request of command and, when the command draws a reply, reads and decodes it.
    exchange_result run(const command_info& command, std::vector<std::uint8_t> request);

    // Sends bytes as they are and collects whatever comes back: up to `timeout` for a first
    // byte, then until the line is quiet. Silence is not an error here.
    exchange_result run_raw(std::vector<std::uint8_t> request);

    // Reads and drops bytes until the line has been quiet for `quiet` (at most `timeout`
    // in all). After a broken exchange this brings the line back to a command boundary.
    std::size_t drain();

    // Drops bytes already waiting on the line, left over from an earlier conversation (an
    // interrupted run, replies to a phone that went away). Answers how many; costs one read
    // time-out of the connection when the line is idle.
    std::size_t discard_pending();

  private:
    bool send(exchange_result& result);
    // One read of up to `wanted` bytes (more while a stream keeps filling the blocks, never
    // more than a read can wait for within `limit`) into the buffer. False when nothing came:
    // the connection's read timed out, or the port failed.
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
    clock::time_point next_send_{};
    std::vector<std::uint8_t> inbox_;  // read from the connection, not yet taken
    std::size_t inbox_at_ = 0;         // the first byte not yet taken
    std::size_t streak_ = 0;           // after a read that filled its block: the next block
};

}  // namespace tessel::phone
