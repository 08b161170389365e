#pragma once
// A track as the player hands it out: its location, its tags and length, title formatting.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "corvina/services.h"
#include "standin/player/refcounted.h"
#include "standin/player/title_format.h"
#include "standin/player/track_metadata.h"

namespace standin {

// Tracks and compiled scripts made by this player answer queries for these, so that what a
// component hands back can be recognised as the player's own.
inline constexpr corvina::guid track_object_guid{
    0x6B0E2F4A, 0x93D1, 0x4C57, {0x8E, 0x21, 0x5A, 0x7C, 0x40, 0xB9, 0x12, 0xD3}};
inline constexpr corvina::guid title_script_object_guid{
    0x1F8C7A30, 0x6E25, 0x4B8F, {0xA4, 0x5D, 0xC2, 0x09, 0x77, 0xE1, 0x3B, 0x64}};

class title_script_object final : public refcounted<corvina::title_script> {
  public:
    explicit title_script_object(compiled_title_format compiled) : compiled_(std::move(compiled)) {}
    const compiled_title_format& compiled() const { return compiled_; }

    // The player's script behind a script object a component handed back; null for any other.
    static service_ptr<title_script_object> recognise(corvina::title_script* script);

  private:
    const corvina::guid& query_guid() const override { return title_script_object_guid; }
    compiled_title_format compiled_;
};

class track_object final : public refcounted<corvina::track> {
  public:
    // path: the location's path as it was imported (separators kept as given).
    track_object(std::string path, track_metadata metadata);

    const corvina::location& get_location() const override { return location_; }
    bool format_title(corvina::title_hook* hook, corvina::string_base& out,
                      corvina::title_script* script, corvina::title_filter* filter) override;
    void lock_info() override { info_lock_.lock(); }
    void unlock_info() override { info_lock_.unlock(); }
    bool get_info(corvina::info_record& out) const override;
    const corvina::track_info* get_info_locked() const override { return &info_; }

    const std::string& path() const { return path_; }
    const track_metadata& metadata() const { return metadata_; }
    double length() const { return metadata_.length; }

    std::string format(const compiled_title_format& script) const;
    // A title-format field of this track; nothing when the track lacks it.
    std::optional<std::string> field(std::string_view name) const;

  private:
    class path_location final : public corvina::location {
      public:
        explicit path_location(const std::string& path) : path_(path) {}
        const char* get_path() const override { return path_.c_str(); }

      private:
        const std::string& path_;
    };
    class length_info final : public corvina::track_info {
      public:
        explicit length_info(double length) : length_(length) {}
        double get_length() const override { return length_; }

      private:
        double length_;
    };

    const corvina::guid& query_guid() const override { return track_object_guid; }

    std::string path_;
    track_metadata metadata_;
    path_location location_{path_};
    length_info info_{metadata_.length};
    std::recursive_mutex info_lock_;
};

// "m:ss", or "h:mm:ss" from an hour on.
std::string format_length(double seconds);

}  // namespace standin
