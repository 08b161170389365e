#include "tools/phone/phone_session.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "tools/phone/reply_framer.h"
#include "transport/bluetooth_connection.h"

namespace tessel::phone {
namespace {

using std::chrono::milliseconds;

std::string millis(milliseconds value) {
    return std::to_string(value.count()) + " ms";
}

// The largest block a serial read may ask for and still end within limit when nothing comes.
std::size_t largest_read_within(milliseconds limit) {
    const auto constant = static_cast<milliseconds::rep>(serial_timeouts::read_constant);
    const auto per_byte = static_cast<milliseconds::rep>(serial_timeouts::read_multiplier);
    return limit.count() <= constant + per_byte
               ? 1
               : static_cast<std::size_t>((limit.count() - constant) / per_byte);
}

// Ends a long reply's progress on every way out of an exchange.
class progress_scope {
  public:
    progress_scope(reply_progress* progress, const command_info& command,
                   std::optional<std::size_t> expected_entries)
        : progress_(command.reply == reply_kind::folder_tree ||
                            command.reply == reply_kind::playlist
                        ? progress
                        : nullptr) {
        if (progress_ != nullptr) {
            progress_->begin(command.code, expected_entries);
        }
    }
    progress_scope(const progress_scope&) = delete;
    progress_scope& operator=(const progress_scope&) = delete;
    ~progress_scope() {
        if (progress_ != nullptr) {
            progress_->end();
        }
    }
    void advance(std::size_t bytes, std::size_t entries) const {
        if (progress_ != nullptr) {
            progress_->advance(bytes, entries);
        }
    }

  private:
    reply_progress* progress_;
};

}  // namespace

phone_session::phone_session(connection& link, session_options options,
                             std::function<bool()> port_failed,
                             std::function<std::size_t()> input_waiting)
    : link_(link),
      options_(options),
      port_failed_(std::move(port_failed)),
      input_waiting_(std::move(input_waiting)) {}

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

bool phone_session::fill(std::size_t wanted, milliseconds limit) {
    // Bytes that have arrived come at once however many they are; beyond them a read asks for
    // no more than the reply needs, so it never waits out the pause after the reply's end.
    constexpr std::size_t largest_block = 65536;
    const std::size_t arrived = input_waiting_ ? input_waiting_() : 0;
    const std::size_t block = arrived != 0
                                  ? std::min(arrived, largest_block)
                                  : std::clamp(wanted, std::size_t{1}, largest_read_within(limit));
    if (inbox_at_ == inbox_.size()) {
        inbox_.clear();
        inbox_at_ = 0;
    }
    const std::size_t kept = inbox_.size();
    inbox_.resize(kept + block);
    const clock::time_point start = clock::now();
    const int got = link_.read(inbox_.data() + kept, block);
    const std::size_t count = got > 0 ? static_cast<std::size_t>(got) : 0;
    inbox_.resize(kept + count);
    if (count != 0) {
        return true;
    }
    // A port that fails at once (it has gone) would otherwise be polled in a tight loop.
    if (clock::now() - start < milliseconds(5)) {
        std::this_thread::sleep_for(milliseconds(20));
    }
    return false;
}

std::span<const std::uint8_t> phone_session::waiting() const {
    return std::span<const std::uint8_t>(inbox_).subspan(inbox_at_);
}

void phone_session::take(std::size_t count) {
    inbox_at_ += count;
}

std::size_t phone_session::drop_waiting() {
    const std::size_t dropped = inbox_.size() - inbox_at_;
    inbox_.clear();
    inbox_at_ = 0;
    return dropped;
}

exchange_result phone_session::run(const command_info& command, std::vector<std::uint8_t> request) {
    exchange_result result;
    result.request = std::move(request);
    // A length asked for just before tells how long the playlist will be; later, it may have
    // changed.
    const std::optional<std::size_t> expected_entries =
        command.reply == reply_kind::playlist ? playlist_length_ : std::nullopt;
    playlist_length_.reset();
    if (!send(result) || command.reply == reply_kind::none) {
        return result;
    }
    const progress_scope progress(progress_, command, expected_entries);
    const std::string token = token_of(command);
    reply_framer framer(command.reply, token);
    clock::time_point last_activity = clock::now();
    while (true) {
        if (const std::span<const std::uint8_t> bytes = waiting(); !bytes.empty()) {
            const std::size_t taken = framer.feed(bytes);
            result.reply.insert(result.reply.end(), bytes.begin(),
                                bytes.begin() + static_cast<std::ptrdiff_t>(taken));
            take(taken);
            progress.advance(result.reply.size(), framer.entries());
            if (framer.state() == frame_state::complete) {
                break;
            }
            if (framer.state() == frame_state::invalid) {
                result.outcome = exchange_outcome::bad_reply;
                result.error = framer.error();
                next_send_ = clock::now() + options_.pace;
                return result;
            }
            continue;
        }
        const bool may_end = framer.state() == frame_state::complete_if_quiet;
        if (fill(framer.missing(), may_end ? options_.quiet : options_.timeout)) {
            last_activity = clock::now();
            continue;
        }
        progress.advance(result.reply.size(), framer.entries());  // the rate falls while silent
        if (port_has_failed()) {
            fail_port(result);
            return result;
        }
        const auto silent = clock::now() - last_activity;
        if (may_end && silent >= options_.quiet) {
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
    if (const auto* length = std::get_if<playlist_length_reply>(&*decoded.value)) {
        playlist_length_ = length->count;
    }
    result.value = std::move(decoded.value);
    return result;
}

exchange_result phone_session::run_raw(std::vector<std::uint8_t> request) {
    exchange_result result;
    result.request = std::move(request);
    playlist_length_.reset();
    if (!send(result)) {
        return result;
    }
    clock::time_point last_activity = clock::now();
    while (true) {
        const std::span<const std::uint8_t> bytes = waiting();
        result.reply.insert(result.reply.end(), bytes.begin(), bytes.end());
        take(bytes.size());
        // The first byte may take `timeout` to come; after it, `quiet` ends the reply.
        if (fill(1, result.reply.empty() ? options_.timeout : options_.quiet)) {
            last_activity = clock::now();
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
    std::size_t dropped = drop_waiting();
    const clock::time_point start = clock::now();
    clock::time_point last_activity = start;
    while (clock::now() - start < options_.timeout) {
        if (fill(1, options_.quiet)) {
            dropped += drop_waiting();
            last_activity = clock::now();
        } else if (port_has_failed() || clock::now() - last_activity >= options_.quiet) {
            break;
        }
    }
    next_send_ = clock::now() + options_.pace;
    return dropped;
}

}  // namespace tessel::phone
