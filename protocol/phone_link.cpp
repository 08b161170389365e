#include "protocol/phone_link.h"

#include <new>
#include <utility>

#include "protocol/wire_reader.h"
#include "support/host_access.h"
#include "support/log.h"
#include "support/reply_buffer.h"

namespace tessel {

phone_link::phone_link(std::unique_ptr<connection> link, control& player)
    : connection_(std::move(link)), writer_(*connection_), control_(player) {}

phone_link::~phone_link() {
    join_list_worker(false);
}

string8 phone_link::read_string() {
    return read_wire_string(*connection_);
}

void phone_link::set_music_folders(string8 folders) {
    std::lock_guard<std::mutex> lock(folders_mutex_);
    music_folders_ = std::move(folders);
}

string8 phone_link::get_music_folders() const {
    std::lock_guard<std::mutex> lock(folders_mutex_);
    return music_folders_;
}

bool phone_link::join_list_worker(bool keep) {
    if (!keep) {
        walks_.wait_all();
    }
    return true;
}

void phone_link::stop_list_walks(const list_walks::waiter& wait) {
    walks_.stop(wait);
}

// A reply that could not be built whole is not sent: the command is dropped.
void phone_link::send_reply(reply_buffer reply) {
    if (!reply.is_whole()) {
        throw std::bad_alloc();
    }
    writer_.submit(std::move(reply));
}

void phone_link::send_deferred(deferred_reply::maker make,
                               std::unique_ptr<deferred_reply>* file_work, listing_turn turn) {
    auto reply = std::make_unique<deferred_reply>(std::move(make), writer_, connection_->opening(),
                                                  std::move(turn));
    if (file_work != nullptr) {
        *file_work = std::move(reply);
    } else {
        reply->run(nullptr);
    }
}

void phone_link::process_command(command_code code, std::unique_ptr<deferred_reply>* file_work) {
    if (!host_is_main_thread()) {
        log_error("process_command() called from outside of main thread.");
        return;
    }
    connection& link = *connection_;
    switch (code) {
        case commands::play:
            control_.play_file(read_string());
            break;
        case commands::add:
            control_.add_file(read_string());
            break;
        case commands::stop:
            control_.stop();
            break;
        case commands::pause:
            control_.pause();
            break;
        case commands::start:
            control_.start();
            break;
        case commands::next:
            control_.next(next_random_);
            break;
        case commands::previous:
            control_.previous();
            break;
        case commands::fade:
            control_.fade_out();
            break;
        case commands::fast_forward:
            control_.fast_forward(5);
            break;
        case commands::rewind:
            control_.rewind(5);
            break;
        case commands::seek:
            control_.seek(static_cast<int>(read_wire_u32(link)));
            break;
        case commands::select:
            control_.play_track(read_wire_u16(link));
            break;
        case commands::volume:
            control_.set_volume(read_wire_u8(link));
            break;
        case commands::shuffle:
            control_.set_shuffle(read_wire_u8(link) == 1);
            break;
        case commands::repeat:
            control_.set_repeat(read_wire_u8(link) == 1);
            break;
        case commands::stop_at_end:
            control_.set_stop_at_end(true);
            break;
        case commands::remove_all:
            control_.remove_all();
            break;
        case commands::check: {
            reply_buffer reply(1);
            reply.append_bytes("Y");
            send_reply(std::move(reply));
            break;
        }
        case commands::info:
            send_info(false);
            break;
        case commands::info2:
            trace("Sending songinfo2");
            send_info(true);
            break;
        case commands::get_volume:
            send_volume();
            break;
        case commands::version:
            send_version();
            break;
        case commands::playlist_length:
            send_playlist_length();
            break;
        case commands::detailed_info:
            send_detailed_info();
            break;
        case commands::file_info:
            send_file_info(read_string(), file_work);
            break;
        case commands::playlist:
            send_playlist();
            break;
        case commands::list:
            walks_.start(get_music_folders(), connection_->opening());
            break;
        case commands::folder_list:
            send_folder_listing(read_string(), file_work);
            break;
        default:
            break;  // unknown codes are ignored without a word
    }
}

}  // namespace tessel
