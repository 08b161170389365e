#include "protocol/deferred_reply.h"

#include <exception>
#include <new>
#include <utility>

#include "protocol/file_system_gate.h"
#include "protocol/reply_writer.h"
#include "support/log.h"

namespace tessel {

deferred_reply::deferred_reply(maker make, reply_writer& writer, std::uint64_t for_opening,
                               listing_turn turn)
    : make_(std::move(make)), writer_(writer), for_opening_(for_opening), turn_(std::move(turn)) {}

void deferred_reply::run(file_system_gate* gate) {
    const auto stopped = [gate] { return gate != nullptr && gate->stop_requested(); };
    try {
        reply_buffer reply = make_(gate);
        if (!reply.is_whole() && !stopped()) {
            throw std::bad_alloc();  // a reply that could not be built whole is not sent
        }
        turn_.wait(gate);
        if (!stopped()) {
            writer_.submit(std::move(reply), for_opening_);
        }
    } catch (const std::exception& error) {
        if (!stopped()) {
            log_error(error.what());
        }
    }
}

}  // namespace tessel
