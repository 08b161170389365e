// LIST and DLST: the music-folder tree, walked on a worker thread for LIST and on the calling
// thread for one folder's listing.

#include <exception>
#include <new>
#include <system_error>
#include <utility>

#include "protocol/folder_tree.h"
#include "protocol/phone_link.h"
#include "protocol/thread_priority.h"
#include "support/log.h"
#include "support/reply_buffer.h"

namespace tessel {

namespace {

constexpr std::uint32_t listing_initial_capacity = 65536;

// A LISTACK reply is the token, the records the walk appends, then the end mark.
void start_listing(reply_buffer& reply) {
    reply.append_bytes("LISTACK");
}

void end_listing(reply_buffer& reply) {
    reply.append_byte(0xFF);
    reply.append_byte(0x00);
}

}  // namespace

void phone_link::send_folder_listing(const string8& folder) {
    reply_buffer reply(listing_initial_capacity);
    start_listing(reply);
    walk_folder(reply, folder, string8(), folder_flags::root, false);
    end_listing(reply);
    send_reply(std::move(reply));
}

void phone_link::start_list_worker() {
    // One walk at a time: a new LIST waits for the one before.
    join_list_worker(false);
    try {
        // The walk may outlast the link: its reply is for the phone that asked.
        list_worker_ = std::thread(
            [this, for_opening = connection_->opening()] { run_list_worker(for_opening); });
    } catch (const std::system_error& error) {
        log_error(error.what());
    }
}

void phone_link::run_list_worker(std::uint64_t for_opening) {
    raise_current_thread_priority();
    // Nothing may leave the thread: a failed walk ends the worker quietly after saying why.
    try {
        reply_buffer reply(listing_initial_capacity);
        start_listing(reply);
        walk_music_folders(reply, get_music_folders());
        end_listing(reply);
        if (!reply.is_whole()) {
            throw std::bad_alloc();
        }
        writer_.submit(std::move(reply), for_opening);
    } catch (const std::exception& error) {
        log_error(error.what());
    } catch (...) {
        log_error("Folder listing failed.");
    }
}

}  // namespace tessel
