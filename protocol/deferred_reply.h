#pragma once
// A reply whose making waits on the file system: a folder's one-level listing, a file's search.
// The player's main thread reads the command and asks the player what it needs, then leaves
// the rest to a thread of the link, so that a folder on a sleeping disk or a share that has
// gone away never holds the player.

#include <cstdint>
#include <functional>

#include "protocol/list_walks.h"
#include "support/reply_buffer.h"

namespace tessel {

class file_system_gate;
class reply_writer;

class deferred_reply {
  public:
    // Makes the reply, passing every call into the file system through the gate (which may be
    // null: then nothing stops it).
    using maker = std::function<reply_buffer(file_system_gate* gate)>;

    // The writer must outlive the reply unless the gate is told to stop. The reply is handed
    // over only once its turn has come.
    deferred_reply(maker make, reply_writer& writer, std::uint64_t for_opening,
                   listing_turn turn = {});

    // Makes the reply, waits for its turn and hands it to the writer for the opening it was
    // asked on. The wait for the turn counts as a call into the file system. Once the gate
    // has been told to stop, the reply is dropped and nothing outside this object is touched.
    // Nothing leaves: a failure is logged and the reply dropped.
    void run(file_system_gate* gate);

  private:
    maker make_;
    reply_writer& writer_;
    std::uint64_t for_opening_;
    listing_turn turn_;
};

}  // namespace tessel
