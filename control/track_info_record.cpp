#include "control/track_info_record.h"

#include <limits>

#include "support/boundary.h"

namespace tessel {

namespace {

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ascii_case_insensitive(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool is_c_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

void track_info_record::reset() {
    length_ = 0.0;
    meta_.clear();
    technical_.clear();
}

// The player writes the record: a field that cannot be stored is dropped with an error line.
void track_info_record::add_meta(const char* name, const char* value) {
    guard_boundary([&] { meta_.emplace_back(string8(name), string8(value)); });
}

void track_info_record::add_technical(const char* name, const char* value) {
    guard_boundary([&] { technical_.emplace_back(string8(name), string8(value)); });
}

std::optional<std::string_view> track_info_record::find_technical(std::string_view name) const {
    for (const field& entry : technical_) {
        if (equal_ascii_case_insensitive(entry.first.view(), name)) {
            return entry.second.view();
        }
    }
    return std::nullopt;
}

std::int64_t read_leading_integer(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && is_c_space(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // Accumulated as a magnitude so that the most negative value is reached without overflow.
    constexpr std::uint64_t max_positive = std::numeric_limits<std::int64_t>::max();
    const std::uint64_t limit = negative ? max_positive + 1 : max_positive;
    std::uint64_t magnitude = 0;
    bool saturated = false;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        if (saturated || magnitude > (limit - digit) / 10) {
            saturated = true;
            continue;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (saturated) {
        magnitude = limit;
    }
    if (!negative) {
        return static_cast<std::int64_t>(magnitude);
    }
    // Two's complement negation in unsigned arithmetic, then the value it stands for.
    return static_cast<std::int64_t>(~magnitude + 1);
}

}  // namespace tessel
