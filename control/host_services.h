#pragma once
// Looking up the player's services host_control drives; each call is a fresh lookup.

#include "corvina/class_guids.h"
#include "corvina/services.h"
#include "support/host_access.h"

namespace tessel {

inline service_ptr<corvina::playback_service> find_playback_service() {
    return get_single_service<corvina::playback_service>(corvina::class_guids::playback_service);
}

inline service_ptr<corvina::playlist_service> find_playlist_service() {
    return get_single_service<corvina::playlist_service>(corvina::class_guids::playlist_service);
}

inline service_ptr<corvina::title_format_service> find_title_format_service() {
    return get_single_service<corvina::title_format_service>(
        corvina::class_guids::title_format_service);
}

inline service_ptr<corvina::location_import_service> find_location_import_service() {
    return get_single_service<corvina::location_import_service>(
        corvina::class_guids::location_import_service);
}

// Holds a track's information lock for one scope.
class track_info_lock {
  public:
    explicit track_info_lock(corvina::track& item) : item_(item) { item_.lock_info(); }
    ~track_info_lock() { item_.unlock_info(); }
    track_info_lock(const track_info_lock&) = delete;
    track_info_lock& operator=(const track_info_lock&) = delete;

  private:
    corvina::track& item_;
};

}  // namespace tessel
