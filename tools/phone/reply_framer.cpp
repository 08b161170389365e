#include "tools/phone/reply_framer.h"

#include <cstring>
#include <utility>

namespace tessel::phone {
namespace {

constexpr std::size_t status_fixed_body = 11;  // state, length, position, shuffle, repeat

std::string describe_byte(std::uint8_t byte) {
    const std::uint8_t one[] = {byte};
    return hex_bytes(one);
}

}  // namespace

reply_framer::reply_framer(reply_kind kind, std::string token)
    : kind_(kind), token_(std::move(token)) {}

frame_state reply_framer::fail(std::string text) {
    error_ = std::move(text);
    return state_ = frame_state::invalid;
}

frame_state reply_framer::feed(std::uint8_t byte) {
    ++size_;
    if (size_ <= token_.size()) {
        if (static_cast<char>(byte) != token_[size_ - 1]) {
            return fail("expected the token " + token_ + ", byte " + std::to_string(size_) +
                        " is " + describe_byte(byte));
        }
        return state_ = frame_state::need_more;
    }
    ++body_;
    return state_ = feed_body(byte);
}

std::size_t reply_framer::feed(std::span<const std::uint8_t> bytes) {
    std::size_t taken = 0;
    while (taken < bytes.size() && state_ != frame_state::complete &&
           state_ != frame_state::invalid) {
        if (kind_ == reply_kind::folder_tree && in_name_) {
            // The bulk of a folder tree: name bytes up to their zero, nothing to decide.
            const std::uint8_t* rest = bytes.data() + taken;
            const std::size_t left = bytes.size() - taken;
            const void* zero = std::memchr(rest, 0, left);
            const std::size_t run =
                zero != nullptr
                    ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - rest)
                    : left;
            size_ += run;
            body_ += run;
            taken += run;
            if (taken == bytes.size()) {
                break;
            }
        }
        feed(bytes[taken++]);
    }
    return taken;
}

std::size_t reply_framer::missing() const {
    if (state_ != frame_state::need_more) {
        return 0;
    }
    const std::size_t token_left = size_ < token_.size() ? token_.size() - size_ : 0;
    return token_left + body_missing();
}

std::size_t reply_framer::body_missing() const {
    // What a body of `least` bytes in all still lacks, and at least one byte: the reply is
    // not complete yet.
    auto at_least = [this](std::size_t least) { return body_ < least ? least - body_ : 1; };
    switch (kind_) {
        case reply_kind::none:
            return 0;
        case reply_kind::check:
        case reply_kind::volume:
            return at_least(1);
        case reply_kind::version:
        case reply_kind::playlist_length:
            return at_least(2);
        case reply_kind::details:
            return at_least(12);
        case reply_kind::file_info:
            return at_least(4);
        case reply_kind::status:
            return at_least(status_fixed_body);
        case reply_kind::status_terminated:
            return at_least(status_fixed_body + 1);
        case reply_kind::playlist:
            // The shortest playlist reply is its four zero bytes alone; after a zero index,
            // two more bytes may end it.
            if (body_ < 2 || (index_is_zero_ && body_ < 4)) {
                return 4 - body_;
            }
            return 4 - zero_run_;
        case reply_kind::folder_tree:
            if (after_end_byte_) {
                return 1;
            }
            return in_name_ ? 3 : 2;  // the name's zero, then FF 00
    }
    return 1;
}

frame_state reply_framer::feed_body(std::uint8_t byte) {
    switch (kind_) {
        case reply_kind::none:
            return fail("no reply expected");
        case reply_kind::check:
            if (byte != 'Y') {
                return fail("expected Y, got " + describe_byte(byte));
            }
            return frame_state::complete;
        case reply_kind::status:
            return body_ >= status_fixed_body ? frame_state::complete_if_quiet
                                              : frame_state::need_more;
        case reply_kind::status_terminated:
            return body_ > status_fixed_body && byte == 0 ? frame_state::complete
                                                          : frame_state::need_more;
        case reply_kind::volume:
            return frame_state::complete;
        case reply_kind::version:
        case reply_kind::playlist_length:
            return body_ == 2 ? frame_state::complete : frame_state::need_more;
        case reply_kind::details:
            return body_ == 12 ? frame_state::complete : frame_state::need_more;
        case reply_kind::file_info:
            return body_ == 4 ? frame_state::complete : frame_state::need_more;
        case reply_kind::playlist:
            // Index (2 bytes), lines free of zero bytes, then four zero bytes. A playlist too
            // long to send is the four zero bytes alone, which reads the same as index 0
            // followed by half the end mark: only silence tells the two apart.
            if (body_ <= 2) {
                index_is_zero_ = (body_ == 1 || index_is_zero_) && byte == 0;
                return frame_state::need_more;
            }
            if (byte != 0) {
                if (zero_run_ != 0) {
                    return fail("a zero byte inside a title line");
                }
                entries_ += byte == '\n' ? 1 : 0;
                return frame_state::need_more;
            }
            ++zero_run_;
            if (zero_run_ == 4) {
                return frame_state::complete;
            }
            if (body_ == 4 && index_is_zero_) {
                return frame_state::complete_if_quiet;
            }
            return frame_state::need_more;
        case reply_kind::folder_tree:
            if (after_end_byte_) {
                if (byte != 0) {
                    return fail("end mark FF not followed by 00");
                }
                return frame_state::complete;
            }
            if (in_name_) {
                in_name_ = byte != 0;
                entries_ += in_name_ ? 0 : 1;
                return frame_state::need_more;
            }
            if (byte == 0xFF) {
                after_end_byte_ = true;
            } else {
                in_name_ = true;
            }
            return frame_state::need_more;
    }
    return fail("unknown reply");
}

}  // namespace tessel::phone
