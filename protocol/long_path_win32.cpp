#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "protocol/long_path.h"

namespace tessel {

namespace {

bool has_dot_step(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        const std::string_view step = path.substr(start, end - start);
        if (step == "." || step == "..") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

string8 long_path_form(const string8& path) {
    std::string text(path.view());
    if (text.starts_with("\\\\?\\") || text.starts_with("\\\\.\\")) {
        return path;
    }
    // One backslash between steps, however the path was joined.
    std::string clean;
    for (const char c : text) {
        const char normal = c == '/' ? '\\' : c;
        if (normal != '\\' || clean.size() < 2 || clean.back() != '\\') {
            clean += normal;
        }
    }
    text = std::move(clean);
    const bool on_drive = text.size() >= 3 && text[1] == ':' && text[2] == '\\';
    const bool on_share = text.starts_with("\\\\");
    if ((!on_drive && !on_share) || has_dot_step(std::string_view(text).substr(on_share ? 2 : 3))) {
        return path;
    }
    string8 long_form(on_drive ? "\\\\?\\" : "\\\\?\\UNC\\");
    long_form += std::string_view(text).substr(on_drive ? 0 : 2);
    return long_form;
}

}  // namespace tessel
