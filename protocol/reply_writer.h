#pragma once
// The one writer of the link's replies. Whoever made a reply (the player's main thread, the
// folder walk's worker) hands it over whole and goes on; the writer's own thread writes the
// replies one at a time in the order they came, so they never interleave on the wire and
// nobody waits for a phone that reads slowly or not at all.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "support/reply_buffer.h"
#include "transport/connection.h"

namespace tessel {

class reply_writer {
  public:
    // What may wait for the phone, in bytes. A folder listing costs about 33 bytes an entry, so
    // a library of a million files still fits; a phone that asks without reading holds at
    // most this much of the player's memory.
    static constexpr std::size_t default_bound = std::size_t{32} * 1024 * 1024;

    // The connection must outlive the writer.
    explicit reply_writer(connection& port, std::size_t bound = default_bound);
    reply_writer(const reply_writer&) = delete;
    reply_writer& operator=(const reply_writer&) = delete;
    ~reply_writer();

    // Hands one whole reply over and returns at once. A reply that would take what waits past
    // the bound is dropped with one error line; after stop() replies are dropped silently.
    // The writer's thread starts with the first reply. The reply is for the connection's
    // opening that lasts now, or for the one given: it is dropped when the connection has been
    // opened again before its turn comes. A reply asked for several times is held once and
    // written that many times in a row.
    void submit(reply_buffer reply);
    void submit(reply_buffer reply, std::uint64_t for_opening, std::uint32_t copies = 1);

    // Waits until done answers true; the player's main thread serves its sent messages meanwhile.
    using waiter = std::function<void(const std::function<bool()>& done)>;

    // Cuts the write in flight (through the connection's cancel_io, which ends its reads as
    // well), drops what waits and waits for the writer's thread to end, through wait when one is
    // given. Later replies are dropped until resume().
    void stop(const waiter& wait = nullptr);
    void resume();

    // Waits until every reply handed over so far has been written or dropped.
    void drain();

  private:
    void run();

    connection& port_;
    const std::size_t bound_;
    std::mutex mutex_;
    std::condition_variable changed_;
    struct waiting_reply {
        reply_buffer reply;
        std::uint64_t for_opening;
        std::uint32_t copies;
    };
    std::deque<waiting_reply> waiting_;
    std::size_t held_bytes_ = 0;  // waiting and in flight
    bool writing_ = false;
    bool accepting_ = true;
    bool stopping_ = false;
    bool running_ = false;  // the thread has not left run()
    std::thread thread_;
};

}  // namespace tessel
