#include "recording_control.h"

namespace tessel::test {

std::vector<string8> recording_control::get_playlist_titles() {
    calls.emplace_back("get_playlist_titles");
    std::vector<string8> titles;
    titles.reserve(playlist_titles.size());
    for (const std::string& text : playlist_titles) {
        titles.emplace_back(text);
    }
    return titles;
}

}  // namespace tessel::test
