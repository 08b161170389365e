#pragma once
// A control that records each operation called, as "name" or "name argument", and answers
// queries from fields the test sets.

#include <cstdint>
#include <string>
#include <vector>

#include "control/control.h"

namespace tessel::test {

class recording_control final : public control {
  public:
    std::vector<std::string> calls;

    // Answers.
    bool playing = false;
    bool paused = false;
    int length = 0;
    int position = 0;
    bool shuffle = false;
    bool repeat = false;
    std::string title;
    std::uint8_t volume = 0;
    int playlist_size = 0;
    std::vector<std::string> playlist_titles;  // sent as they are (each ends in "\n")
    int playing_index = 0;
    int bitrate = 0;
    int info_value_2 = 0;
    int info_value_3 = 0;
    std::string playing_path;

    void fade_out() override { calls.emplace_back("fade_out"); }
    void fast_forward(int seconds) override { record("fast_forward", seconds); }
    void rewind(int seconds) override { record("rewind", seconds); }
    void next(bool random_in_shuffle) override { record("next", random_in_shuffle); }
    void previous() override { calls.emplace_back("previous"); }
    void pause() override { calls.emplace_back("pause"); }
    void stop() override { calls.emplace_back("stop"); }
    void play_file(string8 path) override { record("play_file", path); }
    void start() override { calls.emplace_back("start"); }
    int get_playlist_size() override {
        calls.emplace_back("get_playlist_size");
        return playlist_size;
    }
    std::vector<string8> get_playlist_titles() override;
    void add_file(string8 path) override { record("add_file", path); }
    void play_track(int index) override { record("play_track", index); }
    void remove_all() override { calls.emplace_back("remove_all"); }
    void set_repeat(bool on) override { record("set_repeat", on); }
    void set_shuffle(bool on) override { record("set_shuffle", on); }
    void seek(int seconds) override { record("seek", seconds); }
    void set_stop_at_end(bool on) override { record("set_stop_at_end", on); }
    void set_volume(std::uint8_t level) override { record("set_volume", level); }
    std::uint8_t get_volume() override { return volume; }
    int get_bitrate() override { return bitrate; }
    int get_info_value_2() override { return info_value_2; }
    int get_info_value_3() override { return info_value_3; }
    string8 get_playing_path() override { return string8(playing_path); }
    int get_position() override { return position; }
    int get_length() override { return length; }
    bool is_shuffle() override { return shuffle; }
    bool is_repeat() override { return repeat; }
    void get_playing_title(string8& out) override { out = string8(title); }
    bool is_paused() override { return paused; }
    bool is_playing() override { return playing; }
    int get_playing_index() override {
        calls.emplace_back("get_playing_index");
        return playing_index;
    }

  private:
    void record(const char* name, int value) {
        calls.push_back(name + (" " + std::to_string(value)));
    }
    void record(const char* name, bool value) {
        calls.push_back(std::string(name) + (value ? " true" : " false"));
    }
    void record(const char* name, const string8& text) {
        calls.push_back(std::string(name) + " " + std::string(text.view()));
    }
};

}  // namespace tessel::test
