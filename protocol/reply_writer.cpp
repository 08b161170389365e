#include "protocol/reply_writer.h"

#include <system_error>
#include <utility>

#include "support/log.h"

namespace tessel {

reply_writer::reply_writer(connection& port, std::size_t bound) : port_(port), bound_(bound) {}

reply_writer::~reply_writer() {
    stop();
}

void reply_writer::submit(reply_buffer reply) {
    submit(std::move(reply), port_.opening());
}

void reply_writer::submit(reply_buffer reply, std::uint64_t for_opening, std::uint32_t copies) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!accepting_ || reply.size() == 0 || copies == 0) {
        return;
    }
    if (reply.size() > bound_ - held_bytes_) {
        lock.unlock();
        log_error("Reply dropped: the phone is not reading.");
        return;
    }
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { run(); });
            running_ = true;
        } catch (const std::system_error& error) {
            lock.unlock();
            log_error(error.what());
            return;
        }
    }
    held_bytes_ += reply.size();
    waiting_.push_back({std::move(reply), for_opening, copies});
    changed_.notify_all();
}

void reply_writer::stop(const waiter& wait) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        accepting_ = false;
        stopping_ = true;
        for (const waiting_reply& waiting : waiting_) {
            held_bytes_ -= waiting.reply.size();
        }
        waiting_.clear();
        if (writing_) {
            port_.cancel_io();
        }
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        if (wait) {
            wait([this] {
                const std::lock_guard<std::mutex> lock(mutex_);
                return !running_;
            });
        }
        thread_.join();
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
}

void reply_writer::resume() {
    const std::lock_guard<std::mutex> lock(mutex_);
    accepting_ = true;
}

void reply_writer::drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return waiting_.empty() && !writing_; });
}

void reply_writer::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) {
            running_ = false;
            return;
        }
        waiting_reply next = std::move(waiting_.front());
        waiting_.pop_front();
        const reply_buffer& reply = next.reply;
        writing_ = true;
        lock.unlock();
        // The connection writes in pieces, each with the port's time-out for its size: what a
        // phone that stopped reading did not take by then is dropped, and the next reply goes
        // out whole. A stop cancels the write, seen between two pieces at the latest. A reply for
        // an earlier opening is dropped by the connection, which compares and writes as one step.
        // The copies of one reply go out in a row, until a stop.
        for (;;) {
            port_.write_for_opening(reply, next.for_opening);
            lock.lock();
            if (--next.copies == 0 || stopping_) {
                break;
            }
            lock.unlock();
        }
        writing_ = false;
        held_bytes_ -= reply.size();
        changed_.notify_all();
    }
}

}  // namespace tessel
