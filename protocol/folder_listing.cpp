// DLST: one folder's listing, its subfolders without their contents. The walk itself is left
// to a thread of the link, so that a slow folder never holds the player's main thread.

#include <utility>

#include "protocol/folder_tree.h"
#include "protocol/phone_link.h"
#include "support/reply_buffer.h"

namespace tessel {

void phone_link::send_folder_listing(const string8& folder,
                                     std::unique_ptr<deferred_reply>* file_work) {
    send_deferred(
        [folder](file_system_gate* gate) {
            reply_buffer reply = start_listing_reply();
            walk_folder(reply, folder, string8(), folder_flags::root, false, gate);
            end_listing_reply(reply);
            return reply;
        },
        file_work, walks_.after_listings_asked(connection_->opening()));
}

}  // namespace tessel
