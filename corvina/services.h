#pragma once
// The player's services a component drives, the objects the player hands out (tracks,
// locations, title scripts) and the objects a component hands in (selection masks, callbacks,
// lists, information records). Slot numbers are part of the contract; slots no component uses
// are kept as reserved_slot_N so that every used operation stays at its number. The ABI rules
// of service.h hold here too.

#include <cstddef>
#include <cstdint>

#include "service.h"

#define CORVINA_RESERVED_SLOT(n) \
    virtual void reserved_slot_##n() {}

namespace corvina {

class title_hook;    // never passed by this component: always null
class title_filter;  // never passed by this component: always null

// --- Objects a component hands to the player -------------------------------------------------

// Which items of a playlist an operation means.
class selection_mask {
  public:
    virtual bool get(std::size_t index) const = 0;  // slot 0
    // The first index from start, stepping towards start + count, whose get() equals value;
    // start + count when there is none.
    virtual std::size_t find(bool value, std::size_t start,
                             std::ptrdiff_t count) const = 0;  // slot 1

  protected:
    ~selection_mask() = default;
};

class track;

// Called once per enumerated playlist item; answering false ends the enumeration.
class item_callback {
  public:
    virtual bool on_item(std::size_t index, track* item, bool selected) = 0;  // slot 0

  protected:
    ~item_callback() = default;
};

// A read-only list of location texts.
class string_list {
  public:
    virtual std::size_t get_count() const = 0;                  // slot 0
    virtual const char* get_item(std::size_t index) const = 0;  // slot 1

  protected:
    ~string_list() = default;
};

// A list of tracks that the player fills or reads. The list holds one reference per entry.
class track_list {
  public:
    virtual std::size_t get_count() const = 0;             // slot 0
    virtual track* get_item(std::size_t index) const = 0;  // slot 1
    virtual void add_item(track* item) = 0;                // slot 2
    virtual void remove_all() = 0;                         // slot 3

  protected:
    ~track_list() = default;
};

// What the player writes when asked to read a track's information.
class info_record {
  public:
    virtual void reset() = 0;                                        // slot 0
    virtual void set_length(double seconds) = 0;                     // slot 1
    virtual void add_meta(const char* name, const char* value) = 0;  // slot 2
    // A technical field such as "bitrate"; names are kept as given.
    virtual void add_technical(const char* name, const char* value) = 0;  // slot 3

  protected:
    ~info_record() = default;
};

// --- Objects the player hands out ------------------------------------------------------------

class location {
  public:
    virtual const char* get_path() const = 0;  // slot 0

  protected:
    ~location() = default;
};

class track_info {
  public:
    virtual double get_length() const = 0;  // slot 0

  protected:
    ~track_info() = default;
};

// A compiled title-format script.
class title_script : public service_base {
  protected:
    ~title_script() = default;
};

// A track the player knows (a playlist item, the playing track).
class track : public service_base {
  public:
    virtual const location& get_location() const = 0;  // slot 3
    virtual bool format_title(title_hook* hook, string_base& out, title_script* script,
                              title_filter* filter) = 0;  // slot 4
    // The information is read only between lock_info and unlock_info.
    virtual void lock_info() = 0;    // slot 5
    virtual void unlock_info() = 0;  // slot 6
    CORVINA_RESERVED_SLOT(7)
    CORVINA_RESERVED_SLOT(8)
    virtual bool get_info(info_record& out) const = 0;      // slot 9
    virtual const track_info* get_info_locked() const = 0;  // slot 10

  protected:
    ~track() = default;
};

// --- Services --------------------------------------------------------------------------------

// Console, class {90DF5270-65BB-4DBA-BAF5-86BE9E59DC20}; every implementation gets each line.
class console : public service_base {
  public:
    virtual void print(const char* text, std::size_t length = whole_text) = 0;  // slot 3

  protected:
    ~console() = default;
};

// Version information, class {0C36A649-9EA0-4F48-B229-0CB2AA9AB6F4}.
class version_info : public service_base {
  public:
    virtual const char* get_version_string() = 0;  // slot 3

  protected:
    ~version_info() = default;
};

// Main-menu commands, class {35077B8C-6E70-47BA-B9DD-D51500E12F2E}; one per provider.
class menu_commands : public service_base {
  public:
    virtual std::uint32_t get_command_count() = 0;                  // slot 3
    virtual guid* get_command(guid* out, std::uint32_t index) = 0;  // slot 4: stores, answers out
    CORVINA_RESERVED_SLOT(5)
    CORVINA_RESERVED_SLOT(6)
    CORVINA_RESERVED_SLOT(7)
    CORVINA_RESERVED_SLOT(8)
    CORVINA_RESERVED_SLOT(9)
    virtual void execute(std::uint32_t index, service_base* callback) = 0;  // slot 10

    guid command_guid(std::uint32_t index) {
        guid id;
        return *get_command(&id, index);
    }

  protected:
    ~menu_commands() = default;
};

// Playlists and playback orders, class {D8D51855-D79D-49B8-97A8-065785FA2426}.
class playlist_service : public service_base {
  public:
    virtual std::size_t get_playlist_count() = 0;                // slot 3
    virtual std::size_t get_active_playlist() = 0;               // slot 4, no_index: none
    virtual void set_active_playlist(std::size_t playlist) = 0;  // slot 5
    CORVINA_RESERVED_SLOT(6)
    CORVINA_RESERVED_SLOT(7)
    CORVINA_RESERVED_SLOT(8)
    CORVINA_RESERVED_SLOT(9)
    CORVINA_RESERVED_SLOT(10)
    virtual std::size_t playlist_get_item_count(std::size_t playlist) = 0;  // slot 11
    virtual void playlist_enum_items(std::size_t playlist, item_callback& callback,
                                     const selection_mask& mask) = 0;  // slot 12
    CORVINA_RESERVED_SLOT(13)
    virtual bool playlist_get_name(std::size_t playlist, string_base& out) = 0;  // slot 14
    CORVINA_RESERVED_SLOT(15)
    CORVINA_RESERVED_SLOT(16)
    virtual bool playlist_remove_items(std::size_t playlist,
                                       const selection_mask& mask) = 0;  // slot 17
    CORVINA_RESERVED_SLOT(18)
    virtual void playlist_set_focus_item(std::size_t playlist, std::size_t item) = 0;  // slot 19
    // Inserts at position (no_index: the end); answers the first new index or no_index.
    virtual std::size_t playlist_insert_items(std::size_t playlist, std::size_t position,
                                              const track_list& items,
                                              const selection_mask& select) = 0;  // slot 20
    CORVINA_RESERVED_SLOT(21)
    CORVINA_RESERVED_SLOT(22)
    CORVINA_RESERVED_SLOT(23)
    CORVINA_RESERVED_SLOT(24)
    CORVINA_RESERVED_SLOT(25)
    CORVINA_RESERVED_SLOT(26)
    CORVINA_RESERVED_SLOT(27)
    CORVINA_RESERVED_SLOT(28)
    // Where the playing item is; false when nothing plays from a playlist.
    virtual bool get_playing_item_location(std::size_t* playlist,
                                           std::size_t* item) = 0;  // slot 29
    CORVINA_RESERVED_SLOT(30)
    CORVINA_RESERVED_SLOT(31)
    CORVINA_RESERVED_SLOT(32)
    CORVINA_RESERVED_SLOT(33)
    CORVINA_RESERVED_SLOT(34)
    CORVINA_RESERVED_SLOT(35)
    CORVINA_RESERVED_SLOT(36)
    CORVINA_RESERVED_SLOT(37)
    CORVINA_RESERVED_SLOT(38)
    virtual std::size_t playback_order_get_count() = 0;                  // slot 39
    virtual const char* playback_order_get_name(std::size_t index) = 0;  // slot 40
    CORVINA_RESERVED_SLOT(41)
    virtual std::size_t playback_order_get_active() = 0;            // slot 42
    virtual void playback_order_set_active(std::size_t index) = 0;  // slot 43
    CORVINA_RESERVED_SLOT(44)
    CORVINA_RESERVED_SLOT(45)
    CORVINA_RESERVED_SLOT(46)
    CORVINA_RESERVED_SLOT(47)
    CORVINA_RESERVED_SLOT(48)
    CORVINA_RESERVED_SLOT(49)
    CORVINA_RESERVED_SLOT(50)
    CORVINA_RESERVED_SLOT(51)
    CORVINA_RESERVED_SLOT(52)
    CORVINA_RESERVED_SLOT(53)
    CORVINA_RESERVED_SLOT(54)
    CORVINA_RESERVED_SLOT(55)
    virtual bool playlist_play_item(std::size_t playlist, std::size_t item) = 0;  // slot 56

  protected:
    ~playlist_service() = default;
};

// Codes of playback_service::start.
enum class start_command : int { play = 1, next = 2, previous = 3, random = 5 };

// Transport, volume and the playing track, class {BF803668-2977-4C71-B9AB-5C77C338C970}.
class playback_service : public service_base {
  public:
    // The playing track; false (out untouched) when nothing plays.
    virtual bool get_now_playing(track*& out) = 0;               // slot 3
    virtual void start(start_command command, bool paused) = 0;  // slot 4
    virtual void stop() = 0;                                     // slot 5
    virtual bool is_playing() = 0;                               // slot 6
    virtual bool is_paused() = 0;                                // slot 7
    virtual void set_paused(bool paused) = 0;                    // slot 8
    CORVINA_RESERVED_SLOT(9)
    virtual void set_stop_at_end(bool on) = 0;  // slot 10
    virtual void set_volume(float db) = 0;      // slot 11, -100 .. 0
    virtual float get_volume() = 0;             // slot 12
    CORVINA_RESERVED_SLOT(13)
    CORVINA_RESERVED_SLOT(14)
    CORVINA_RESERVED_SLOT(15)
    virtual void seek(double seconds) = 0;        // slot 16
    virtual void seek_delta(double seconds) = 0;  // slot 17
    virtual bool can_seek() = 0;                  // slot 18
    virtual double get_position() = 0;            // slot 19
    virtual bool format_title(title_hook* hook, string_base& out, title_script* script,
                              title_filter* filter, int display_level) = 0;  // slot 20

  protected:
    ~playback_service() = default;
};

// Title-format compiler, class {3F7674AB-044C-4796-8801-6C443C244D88}.
class title_format_service : public service_base {
  public:
    // Compiles script into out; false (out still set to a script that yields nothing) on a
    // syntax error.
    virtual bool compile(title_script*& out, const char* script) = 0;  // slot 3

  protected:
    ~title_format_service() = default;
};

// Turns locations into tracks, class {EB8FA333-F365-46AD-8621-345671567BAA}.
class location_import_service : public service_base {
  public:
    CORVINA_RESERVED_SLOT(3)
    // False when nothing was imported.
    virtual bool process_locations(const string_list& locations, track_list& out, bool filter,
                                   const char* restrict_mask, const char* exclude_mask,
                                   window_handle parent) = 0;  // slot 4

  protected:
    ~location_import_service() = default;
};

}  // namespace corvina
