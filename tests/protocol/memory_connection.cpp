#include "memory_connection.h"

#include <algorithm>
#include <thread>

namespace tessel::test {

void memory_connection::feed(std::string_view bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    input_.insert(input_.end(), bytes.begin(), bytes.end());
}

std::string memory_connection::written() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stream_;
}

std::vector<memory_connection::recorded_write> memory_connection::writes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
}

std::size_t memory_connection::unread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return input_.size();
}

std::size_t memory_connection::largest_read() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return largest_read_;
}

int memory_connection::write(const void* bytes, std::size_t count) {
    const auto* data = static_cast<const char*>(bytes);
    std::size_t offset = 0;
    // Byte by byte, letting other writers in between, as a slow port would.
    for (std::size_t i = 0; i < count; ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (i == 0) {
                offset = stream_.size();
            }
            stream_ += data[i];
        }
        if (i % 256 == 255) {
            std::this_thread::yield();
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    writes_.push_back(recorded_write{count == 0 ? stream_.size() : offset, std::string(data, count),
                                     openings_.load()});
    return static_cast<int>(count);
}

int memory_connection::write_buffer(const reply_buffer& buffer) {
    return write(buffer.data(), buffer.size());
}

int memory_connection::write_for_opening(const reply_buffer& buffer, std::uint64_t for_opening) {
    const std::lock_guard<std::mutex> lock(opening_guard_);
    return read_opening() == for_opening ? write_buffer(buffer) : 0;
}

void memory_connection::reopen() {
    std::unique_lock<std::mutex> lock(opening_guard_, std::try_to_lock);
    const auto counted_or_waiting = [this] {
        {
            const std::lock_guard<std::mutex> hold(hold_mutex_);
            reopen_counted_or_waiting_ = true;
        }
        hold_changed_.notify_all();
    };
    if (!lock.owns_lock()) {
        counted_or_waiting();
        lock.lock();
    }
    ++openings_;
    counted_or_waiting();
}

std::uint64_t memory_connection::read_opening() const {
    const std::uint64_t opening = openings_.load();
    std::unique_lock<std::mutex> lock(hold_mutex_);
    if (hold_ == hold_state::armed) {
        hold_ = hold_state::holding;
        hold_changed_.notify_all();
        hold_changed_.wait(lock, [this] { return hold_ == hold_state::released; });
        hold_ = hold_state::none;
    }
    return opening;
}

void memory_connection::hold_next_opening_read() {
    const std::lock_guard<std::mutex> lock(hold_mutex_);
    hold_ = hold_state::armed;
    reopen_counted_or_waiting_ = false;
}

bool memory_connection::await_held_opening_read(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(hold_mutex_);
    return hold_changed_.wait_for(lock, limit, [this] { return hold_ == hold_state::holding; });
}

void memory_connection::release_opening() {
    {
        const std::lock_guard<std::mutex> lock(hold_mutex_);
        if (hold_ == hold_state::holding) {
            hold_ = hold_state::released;
        } else {
            hold_ = hold_state::none;
        }
    }
    hold_changed_.notify_all();
}

bool memory_connection::await_reopen_counted_or_waiting(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(hold_mutex_);
    return hold_changed_.wait_for(lock, limit, [this] { return reopen_counted_or_waiting_; });
}

int memory_connection::read(void* buffer, std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    largest_read_ = std::max(largest_read_, count);
    const std::size_t available = std::min(count, input_.size());
    auto* out = static_cast<char*>(buffer);
    for (std::size_t i = 0; i < available; ++i) {
        out[i] = input_.front();
        input_.pop_front();
    }
    return static_cast<int>(available);
}

}  // namespace tessel::test
