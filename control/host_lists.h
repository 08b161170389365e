#pragma once
// The item callback and the lists host_control hands to the player's playlist and location
// import operations.

#include <cstddef>
#include <utility>
#include <vector>

#include "corvina/services.h"
#include "support/service_ptr.h"
#include "support/string8.h"

namespace tessel {

// Keeps a reference to the track of the first item the player enumerates and stops the
// enumeration there.
class first_track_callback final : public corvina::item_callback {
  public:
    bool on_item(std::size_t index, corvina::track* item, bool selected) override;

    // The track kept, if any; the callback gives up its reference.
    service_ptr<corvina::track> take() { return std::move(track_); }

  private:
    service_ptr<corvina::track> track_;
};

// A read-only list of exactly one location; every index gives that location.
class single_location_list final : public corvina::string_list {
  public:
    explicit single_location_list(string8 location) : location_(std::move(location)) {}

    std::size_t get_count() const override { return 1; }
    const char* get_item(std::size_t index) const override;

  private:
    string8 location_;
};

// Tracks the location import fills and the playlist insert reads; holds one reference per
// entry and releases them all when cleared or destroyed.
class owned_track_list final : public corvina::track_list {
  public:
    std::size_t get_count() const override { return tracks_.size(); }
    // A borrowed pointer; null outside the list.
    corvina::track* get_item(std::size_t index) const override;
    // Null tracks are not kept.
    void add_item(corvina::track* item) override;
    void remove_all() override { tracks_.clear(); }

  private:
    std::vector<service_ptr<corvina::track>> tracks_;
};

}  // namespace tessel
