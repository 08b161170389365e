#include "standin/player/track_object.h"

#include <cmath>
#include <cstdio>

namespace standin {
namespace {

// The last path component; both separators count, as paths may come from Windows.
std::string_view file_name_of(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view without_extension(std::string_view name) {
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

service_ptr<title_script_object> title_script_object::recognise(corvina::title_script* script) {
    if (script == nullptr) {
        return {};
    }
    corvina::service_base* found = nullptr;
    if (!script->service_query(found, title_script_object_guid)) {
        return {};
    }
    service_ptr<title_script_object> result;
    result.attach(static_cast<title_script_object*>(found));
    return result;
}

track_object::track_object(std::string path, track_metadata metadata)
    : path_(std::move(path)), metadata_(std::move(metadata)) {}

bool track_object::format_title(corvina::title_hook* /*hook*/, corvina::string_base& out,
                                corvina::title_script* script, corvina::title_filter* /*filter*/) {
    const service_ptr<title_script_object> own = title_script_object::recognise(script);
    if (!own) {
        out.set_string("");
        return false;
    }
    const std::string text = format(own->compiled());
    out.set_string(text.c_str(), text.size());
    return true;
}

bool track_object::get_info(corvina::info_record& out) const {
    out.reset();
    out.set_length(metadata_.length);
    for (const auto& [name, value] : metadata_.tags) {
        out.add_meta(name.c_str(), value.c_str());
    }
    if (metadata_.bitrate > 0) {
        out.add_technical("bitrate", std::to_string(metadata_.bitrate).c_str());
    }
    return true;
}

std::string track_object::format(const compiled_title_format& script) const {
    return script.format([this](std::string_view name) { return field(name); });
}

std::optional<std::string> track_object::field(std::string_view name) const {
    if (name == "_filename_ext") {
        return std::string(file_name_of(path_));
    }
    if (name == "_filename") {
        return std::string(without_extension(file_name_of(path_)));
    }
    if (name == "_path") {
        return path_;
    }
    if (name == "_length") {
        return format_length(metadata_.length);
    }
    const auto tag = metadata_.tags.find(std::string(name));
    if (tag == metadata_.tags.end()) {
        return std::nullopt;
    }
    if (name == "tracknumber" && tag->second.size() == 1) {
        return "0" + tag->second;
    }
    return tag->second;
}

std::string format_length(double seconds) {
    const long long total = seconds > 0 ? std::llround(std::floor(seconds)) : 0;
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

}  // namespace standin
