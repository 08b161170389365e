#include "tools/phone/reply_format.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/utf8.h"

namespace tessel::phone {
std::string_view on_off(bool value) {
    return value ? "on" : "off";
}

std::string_view state_name(const status_reply& status) {
    if (status.paused()) {
        return "paused";
    }
    return status.playing() ? "playing" : "stopped";
}

namespace {

std::string_view json_bool(bool value) {
    return value ? "true" : "false";
}

std::string flags_hex(std::uint8_t flags) {
    const std::uint8_t one[] = {flags};
    return hex_bytes(one);
}

// --- text ---

std::string text_of(const check_reply&) {
    return "Y: the PC is listening\n";
}

std::string text_of(const status_reply& s) {
    std::string out;
    out += "state:    " + std::string(state_name(s)) + "\n";
    out += "position: " + clock_time(s.position) + " / " + clock_time(s.length) + "  (" +
           std::to_string(s.position) + " s of " + std::to_string(s.length) + " s)\n";
    out += "shuffle:  " + std::string(on_off(s.shuffle)) + "\n";
    out += "repeat:   " + std::string(on_off(s.repeat)) + "\n";
    out += "title:    " + s.title + "\n";
    return out;
}

std::string text_of(const volume_reply& v) {
    return "volume: " + std::to_string(v.level) + " of 255\n";
}

std::string text_of(const version_reply& v) {
    return "protocol version: " + std::to_string(v.major) + "." + std::to_string(v.minor) + "\n";
}

std::string text_of(const playlist_length_reply& p) {
    return "playlist entries: " + std::to_string(p.count) + "\n";
}

std::string text_of(const details_reply& d) {
    return "bit rate: " + std::to_string(d.bitrate) + "\nvalue 2:  " + std::to_string(d.value_2) +
           "\nvalue 3:  " + std::to_string(d.value_3) + "\n";
}

std::string text_of(const file_info_reply& f) {
    return "file size: " + std::to_string(f.size) + " bytes\n";
}

std::string text_of(const playlist_reply& p) {
    if (p.too_long) {
        return "playlist: more than 65535 entries, not sent\n";
    }
    std::string out = "playing index: " + std::to_string(p.playing_index) + "\n";
    if (p.titles.empty()) {
        return out + "(empty playlist)\n";
    }
    const int width = static_cast<int>(std::to_string(p.titles.size() - 1).size());
    for (std::size_t i = 0; i < p.titles.size(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "%c %*zu  ", i == p.playing_index ? '>' : ' ', width,
                      i);
        out += number + p.titles[i] + "\n";
    }
    return out;
}

std::string text_of(const folder_tree_reply& tree) {
    if (tree.entries.empty()) {
        return "(no folder could be read)\n";
    }
    std::string out;
    std::vector<bool> last_at_depth;  // per depth: the entry drawn there was its list's last
    for (const folder_entry& entry : tree.entries) {
        if (entry.depth == 0) {
            out += entry.name.empty() ? std::string("(music folders)") : entry.name;
            out += "\n";
            last_at_depth.assign(1, true);
            continue;
        }
        last_at_depth.resize(entry.depth + 1);
        for (std::size_t level = 1; level < entry.depth; ++level) {
            out += last_at_depth[level] ? "    " : "|   ";
        }
        const bool last =
            entry.position() == folder_position::last || entry.position() == folder_position::only;
        last_at_depth[entry.depth] = last;
        out += last ? "`-- " : "|-- ";
        out += entry.name;
        if (entry.kind() == folder_kind::folder) {
            out += "\\";
        } else if (entry.kind() == folder_kind::unlisted_folder) {
            out += "\\ (contents not listed)";
        }
        out += "\n";
    }
    return out;
}

// --- JSON ---

std::string json_of(const check_reply&) {
    return R"({"type":"check","listening":true})";
}

std::string json_of(const status_reply& s) {
    return std::string(R"({"type":"status","state":)") + json_string(state_name(s)) +
           R"(,"playing":)" + std::string(json_bool(s.playing())) + R"(,"paused":)" +
           std::string(json_bool(s.paused())) + R"(,"length":)" + std::to_string(s.length) +
           R"(,"position":)" + std::to_string(s.position) + R"(,"shuffle":)" +
           std::string(json_bool(s.shuffle)) + R"(,"repeat":)" + std::string(json_bool(s.repeat)) +
           R"(,"title":)" + json_string(s.title) + "}";
}

std::string json_of(const volume_reply& v) {
    return R"({"type":"volume","level":)" + std::to_string(v.level) + "}";
}

std::string json_of(const version_reply& v) {
    return R"({"type":"version","major":)" + std::to_string(v.major) + R"(,"minor":)" +
           std::to_string(v.minor) + "}";
}

std::string json_of(const playlist_length_reply& p) {
    return R"({"type":"playlist_length","count":)" + std::to_string(p.count) + "}";
}

std::string json_of(const details_reply& d) {
    return R"({"type":"details","bitrate":)" + std::to_string(d.bitrate) + R"(,"value_2":)" +
           std::to_string(d.value_2) + R"(,"value_3":)" + std::to_string(d.value_3) + "}";
}

std::string json_of(const file_info_reply& f) {
    return R"({"type":"file_info","size":)" + std::to_string(f.size) + "}";
}

std::string json_of(const playlist_reply& p) {
    if (p.too_long) {
        return R"({"type":"playlist","too_long":true,"playing_index":null,"titles":[]})";
    }
    std::string out = R"({"type":"playlist","too_long":false,"playing_index":)" +
                      std::to_string(p.playing_index) + R"(,"titles":[)";
    for (std::size_t i = 0; i < p.titles.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        out += json_string(p.titles[i]);
    }
    return out + "]}";
}

// Nested objects, written without recursion: closing brackets follow the depth.
std::string json_of(const folder_tree_reply& tree) {
    std::string out = R"({"type":"folder_tree","root":)";
    if (tree.entries.empty()) {
        return out + "null}";
    }
    std::vector<std::size_t> open;  // depths whose "entries" array is open
    for (const folder_entry& entry : tree.entries) {
        while (!open.empty() && open.back() >= entry.depth) {
            out += "]}";
            open.pop_back();
        }
        if (entry.depth != 0 && out.back() != '[') {
            out += ",";
        }
        out += R"({"name":)" + json_string(entry.name) + R"(,"flags":")" + flags_hex(entry.flags) +
               R"(","position":")" + std::string(position_name(entry.position())) +
               R"(","kind":")" + std::string(kind_name(entry.kind())) + "\"";
        if (entry.kind() == folder_kind::folder) {
            out += R"(,"entries":[)";
            open.push_back(entry.depth);
        } else {
            out += "}";
        }
    }
    while (!open.empty()) {
        out += "]}";
        open.pop_back();
    }
    return out + "}";
}

}  // namespace

std::string format_text(const reply_value& value) {
    return std::visit([](const auto& reply) { return text_of(reply); }, value);
}

std::string format_json(const reply_value& value) {
    return std::visit([](const auto& reply) { return json_of(reply); }, value);
}

std::string json_string(std::string_view text) {
    std::string out = "\"";
    std::size_t at = 0;
    while (at < text.size()) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            switch (byte) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    if (byte < 0x20 || byte == 0x7F) {
                        char escaped[8];
                        std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                        out += escaped;
                    } else {
                        out += static_cast<char>(byte);
                    }
            }
            ++at;
            continue;
        }
        const std::size_t length = utf8_unicode_char_length(text.data() + at, text.size() - at);
        if (length != 0) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++at;
        }
    }
    return out + "\"";
}

std::string clock_time(std::int64_t seconds) {
    const bool negative = seconds < 0;
    std::uint64_t rest = negative ? static_cast<std::uint64_t>(-seconds) : seconds;
    const std::uint64_t hours = rest / 3600;
    const std::uint64_t minutes = rest / 60 % 60;
    const std::uint64_t secs = rest % 60;
    char out[48];
    if (hours != 0) {
        std::snprintf(out, sizeof out, "%s%llu:%02llu:%02llu", negative ? "-" : "",
                      static_cast<unsigned long long>(hours),
                      static_cast<unsigned long long>(minutes),
                      static_cast<unsigned long long>(secs));
    } else {
        std::snprintf(out, sizeof out, "%s%llu:%02llu", negative ? "-" : "",
                      static_cast<unsigned long long>(minutes),
                      static_cast<unsigned long long>(secs));
    }
    return out;
}

std::string text_bar(double fraction, std::size_t width) {
    const double clamped = std::clamp(fraction, 0.0, 1.0);
    const auto filled = static_cast<std::size_t>(clamped * static_cast<double>(width) + 0.5);
    std::string bar(width + 2, '-');
    bar.front() = '[';
    bar.back() = ']';
    std::fill_n(bar.begin() + 1, filled, '#');
    return bar;
}

}  // namespace tessel::phone
