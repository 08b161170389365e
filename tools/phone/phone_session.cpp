#include "tools/phone/phone_session.h"

#include <thread>
#include <utility>

#include "tools/phone/reply_framer.h"

namespace tessel::phone {
namespace {

using std::chrono::milliseconds;

std::string millis(milliseconds value) {
    return std::to_string(value.count()) + " ms";
}

}  // namespace

phone_session::phone_session(connection& link, session_options options,
                             std::function<bool()> port_failed)
    : link_(link), options_(options), port_failed_(std::move(port_failed)) {}

void phone_session::fail_port(exchange_result& result) const {
    result.outcome = exchange_outcome::port_failed;
    result.error = "the port failed after " + std::to_string(result.reply.size()) +
                   " reply bytes (the link has gone)";
}

void phone_session::wait_for_pace() {
    // A sleep may end a little early by this clock's measure (Windows sleeps by its own tick).
    for (clock::time_point now = clock::now(); now < next_send_; now = clock::now()) {
        std::this_thread::sleep_for(next_send_ - now);
    }
}

bool phone_session::send(exchange_result& result) {
    wait_for_pace();
    const int written = link_.write(result.request.data(), result.request.size());
    next_send_ = clock::now() + options_.pace;
    if (written != static_cast<int>(result.request.size())) {
        result.outcome = exchange_outcome::write_failed;
        result.error = "the request did not go out (" + std::to_string(written < 0 ? 0 : written) +
                       " of " + std::to_string(result.request.size()) + " bytes written)";
        return false;
    }
    return true;
}

std::optional<std::uint8_t> phone_session::read_byte() {
    const clock::time_point start = clock::now();
    std::uint8_t byte = 0;
    if (link_.read(&byte, 1) == 1) {
        return byte;
    }
    // A port that fails at once (it has gone) would otherwise be polled in a tight loop.
    if (clock::now() - start < milliseconds(5)) {
        std::this_thread::sleep_for(milliseconds(20));
    }
    return std::nullopt;
}

exchange_result phone_session::run(const command_info& command, std::vector<std::uint8_t> request) {
    exchange_result result;
    result.request = std::move(request);
    if (!send(result) || command.reply == reply_kind::none) {
        return result;
    }
    const std::string token = token_of(command);
    reply_framer framer(command.reply, token);
    clock::time_point last_activity = clock::now();
    while (true) {
        if (const auto byte = read_byte()) {
            last_activity = clock::now();
            result.reply.push_back(*byte);
            const frame_state state = framer.feed(*byte);
            if (state == frame_state::complete) {
                break;
            }
            if (state == frame_state::invalid) {
                result.outcome = exchange_outcome::bad_reply;
                result.error = framer.error();
                next_send_ = clock::now() + options_.pace;
                return result;
            }
            continue;
        }
        if (port_has_failed()) {
            fail_port(result);
            return result;
        }
        const auto silent = clock::now() - last_activity;
        if (framer.state() == frame_state::complete_if_quiet && silent >= options_.quiet) {
            break;
        }
        if (silent >= options_.timeout) {
            if (result.reply.empty()) {
                result.outcome = exchange_outcome::no_reply;
                result.error = "no reply within " + millis(options_.timeout);
            } else {
                result.outcome = exchange_outcome::cut_off;
                result.error = "the reply stopped after " + std::to_string(result.reply.size()) +
                               " bytes (nothing more for " + millis(options_.timeout) + ")";
            }
            next_send_ = clock::now() + options_.pace;
            return result;
        }
    }
    next_send_ = clock::now() + options_.pace;
    decoded_reply decoded = decode_reply(command.reply, result.reply, token.size());
    if (!decoded.value) {
        result.outcome = exchange_outcome::bad_reply;
        result.error = decoded.error;
        return result;
    }
    result.value = std::move(decoded.value);
    return result;
}

exchange_result phone_session::run_raw(std::vector<std::uint8_t> request) {
    exchange_result result;
    result.request = std::move(request);
    if (!send(result)) {
        return result;
    }
    clock::time_point last_activity = clock::now();
    while (true) {
        if (const auto byte = read_byte()) {
            last_activity = clock::now();
            result.reply.push_back(*byte);
            continue;
        }
        if (port_has_failed()) {
            fail_port(result);
            return result;
        }
        const auto silent = clock::now() - last_activity;
        if (result.reply.empty() ? silent >= options_.timeout : silent >= options_.quiet) {
            break;
        }
    }
    next_send_ = clock::now() + options_.pace;
    return result;
}

std::size_t phone_session::drain() {
    std::size_t dropped = 0;
    const clock::time_point start = clock::now();
    clock::time_point last_activity = start;
    while (clock::now() - start < options_.timeout) {
        if (read_byte()) {
            ++dropped;
            last_activity = clock::now();
        } else if (port_has_failed() || clock::now() - last_activity >= options_.quiet) {
            break;
        }
    }
    next_send_ = clock::now() + options_.pace;
    return dropped;
}

std::size_t phone_session::discard_pending() {
    std::size_t dropped = 0;
    const clock::time_point start = clock::now();
    while (clock::now() - start < options_.timeout && read_byte()) {
        ++dropped;
    }
    return dropped;
}

}  // namespace tessel::phone
