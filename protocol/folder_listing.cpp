// LIST and DLST: the music-folder tree, walked on a worker thread for LIST and on the calling
// thread for one folder's listing.

#include <exception>
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

}  // namespace

void phone_link::send_tree(const folder_node* root) {
    reply_buffer reply(listing_initial_capacity);
    reply.append_bytes("LISTACK");
    serialise_tree(reply, root);
    reply.append_byte(0xFF);
    reply.append_byte(0x00);
    send_reply(std::move(reply));
}

void phone_link::send_folder_listing(const string8& folder) {
    std::unique_ptr<folder_node> tree = walk_folder(folder, string8(), folder_flags::root, false);
    send_tree(tree.get());
    free_tree(std::move(tree));
}

void phone_link::start_list_worker() {
    // One walk at a time: a new LIST waits for the one before.
    join_list_worker(false);
    try {
        list_worker_ = std::thread([this] { run_list_worker(); });
    } catch (const std::system_error& error) {
        log_error(error.what());
    }
}

void phone_link::run_list_worker() {
    raise_current_thread_priority();
    // Nothing may leave the thread: a failed walk ends the worker quietly after saying why.
    try {
        std::unique_ptr<folder_node> tree = walk_music_folders(get_music_folders());
        send_tree(tree.get());
        free_tree(std::move(tree));
    } catch (const std::exception& error) {
        log_error(error.what());
    } catch (...) {
        log_error("Folder listing failed.");
    }
}

}  // namespace tessel
