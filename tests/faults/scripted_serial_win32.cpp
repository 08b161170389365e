#include "tests/faults/scripted_serial_win32.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "transport/bluetooth_connection.h"
#include "transport/serial_calls_win32.h"

namespace tessel::test {

namespace {

scripted_serial* installed = nullptr;

// Any value but INVALID_HANDLE_VALUE: every call on it comes here.
const HANDLE scripted_port = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(0x5E41));

}  // namespace

struct scripted_serial_calls {
    static constexpr serial_calls table{
        [](const char* path) { return installed->open(path); },
        [](HANDLE, DCB*) { return TRUE; },
        [](HANDLE, DCB*) { return TRUE; },
        [](HANDLE, COMMTIMEOUTS*) { return TRUE; },
        [](HANDLE, void* buffer, DWORD count, OVERLAPPED* call) {
            return installed->read(buffer, count, call);
        },
        [](HANDLE, const void* bytes, DWORD count, OVERLAPPED* call) {
            return installed->write(bytes, count, call);
        },
        [](HANDLE, OVERLAPPED* call, DWORD* moved, BOOL) {
            return installed->overlapped_result(call, moved);
        },
        [](HANDLE, OVERLAPPED* call) { return installed->cancel(call); },
        [](HANDLE, DWORD* errors) { return installed->clear_error(errors); },
        [](HANDLE, DWORD) {
            installed->purge();
            return TRUE;
        },
        [](HANDLE) { return TRUE; },
    };
};

scripted_serial::scripted_serial() {
    installed = this;
    use_serial_calls(&scripted_serial_calls::table);
    driver_ = std::thread([this] { drive(); });
}

scripted_serial::~scripted_serial() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        // Closing the port ends what the driver still holds.
        for (auto& [call, state] : calls_) {
            if (!state.done) {
                complete(call, FALSE, ERROR_OPERATION_ABORTED, 0);
            }
        }
    }
    changed_.notify_all();
    driver_.join();
    use_serial_calls(nullptr);
    installed = nullptr;
}

void scripted_serial::phone_sends(const std::string& bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    incoming_ += bytes;
    serve_calls();
}

std::string scripted_serial::phone_received() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

void scripted_serial::next_reads_end(ending how, int count) {
    const std::lock_guard<std::mutex> lock(mutex_);
    read_endings_.insert(read_endings_.end(), static_cast<std::size_t>(count), how);
}

void scripted_serial::reads_end_normally() {
    const std::lock_guard<std::mutex> lock(mutex_);
    read_endings_.clear();
}

void scripted_serial::every_call_fails_at_once(DWORD error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    every_call_error_ = error;
}

void scripted_serial::abort_read_and_next_write_by_one_line_error() {
    const std::lock_guard<std::mutex> lock(mutex_);
    abort_both_ = true;
}

void scripted_serial::writes_held_until_time_out(DWORD error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    holding_writes_ = true;
    held_write_error_ = error;
}

void scripted_serial::writes_taken() {
    const std::lock_guard<std::mutex> lock(mutex_);
    holding_writes_ = false;
}

int scripted_serial::writes_in_progress() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [](const auto& entry) {
        return !entry.second.is_read && !entry.second.done;
    }));
}

int scripted_serial::opens() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return opens_;
}

int scripted_serial::reads() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return reads_;
}

HANDLE scripted_serial::open(const char* /*path*/) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++opens_;
    return scripted_port;
}

BOOL scripted_serial::read(void* buffer, DWORD count, OVERLAPPED* call) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++reads_;
    if (every_call_error_ != 0) {
        SetLastError(every_call_error_);
        return FALSE;
    }
    if (incoming_.empty() && !read_endings_.empty()) {
        const ending next = read_endings_.front();
        read_endings_.pop_front();
        if (next.kind == ending::how::fails_at_once) {
            SetLastError(next.error);
            return FALSE;
        }
        calls_[call] = call_state{buffer, count, true};
        if (next.kind == ending::how::aborted_by_line_error) {
            line_errors_ |= CE_FRAME;
            complete(call, FALSE, ERROR_OPERATION_ABORTED, 0);
        } else {
            complete(call, FALSE, next.error, 0);
        }
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    const auto total = serial_timeouts::read_total(count).count();
    calls_[call] = call_state{
        buffer, count, true, false, FALSE, 0, 0, GetTickCount64() + static_cast<ULONGLONG>(total)};
    serve_calls();
    changed_.notify_all();
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

BOOL scripted_serial::write(const void* bytes, DWORD count, OVERLAPPED* call) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (every_call_error_ != 0) {
        SetLastError(every_call_error_);
        return FALSE;
    }
    const auto pending_read = [this] {
        return std::find_if(calls_.begin(), calls_.end(), [](const auto& entry) {
            return entry.second.is_read && !entry.second.done;
        });
    };
    if (abort_both_) {
        // Until the reader's next read is under way (it rests after a hand-off).
        changed_.wait_for(lock, std::chrono::seconds(5),
                          [&] { return pending_read() != calls_.end(); });
    }
    const auto read_in_progress = pending_read();
    calls_[call] = call_state{const_cast<void*>(bytes), count, false};
    if (abort_both_ && read_in_progress != calls_.end()) {
        // One framing error: the driver aborts every call in progress and keeps the error for
        // one ClearCommError.
        abort_both_ = false;
        line_errors_ |= CE_FRAME;
        complete(read_in_progress->first, FALSE, ERROR_OPERATION_ABORTED, 0);
        complete(call, FALSE, ERROR_OPERATION_ABORTED, 0);
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    if (holding_writes_) {
        const auto total = serial_timeouts::write_total(count).count();
        call_state& held = calls_[call];
        held.deadline = GetTickCount64() + static_cast<ULONGLONG>(total);
        held.held = true;
        changed_.notify_all();
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    written_.append(static_cast<const char*>(bytes), count);
    complete(call, TRUE, 0, count);
    return TRUE;
}

BOOL scripted_serial::overlapped_result(OVERLAPPED* call, DWORD* moved) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return calls_[call].done; });
    const call_state ended = calls_[call];
    calls_.erase(call);
    *moved = ended.moved;
    SetLastError(ended.error);
    return ended.result;
}

BOOL scripted_serial::cancel(OVERLAPPED* call) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = calls_.find(call);
    if (found != calls_.end() && !found->second.done && !found->second.held) {
        complete(call, FALSE, ERROR_OPERATION_ABORTED, 0);
    }
    return TRUE;
}

BOOL scripted_serial::clear_error(DWORD* errors) {
    const std::lock_guard<std::mutex> lock(mutex_);
    *errors = line_errors_;
    line_errors_ = 0;
    return TRUE;
}

void scripted_serial::purge() {
    const std::lock_guard<std::mutex> lock(mutex_);
    incoming_.clear();
}

void scripted_serial::complete(OVERLAPPED* call, BOOL result, DWORD error, DWORD moved) {
    call_state& state = calls_[call];
    state.done = true;
    state.result = result;
    state.error = error;
    state.moved = moved;
    SetEvent(call->hEvent);
    changed_.notify_all();
}

// A pending read takes what it asked for once it is there; at its time-out it ends as Windows
// ends it, a success with what came. A held write ends at its time-out as it was told.
void scripted_serial::serve_calls() {
    const ULONGLONG now = GetTickCount64();
    for (auto& [call, state] : calls_) {
        if (state.done) {
            continue;
        }
        if (!state.is_read) {
            if (state.held && now >= state.deadline) {
                complete(call, held_write_error_ == 0 ? TRUE : FALSE, held_write_error_, 0);
            }
            continue;
        }
        if (incoming_.size() >= state.count || now >= state.deadline) {
            const std::size_t taken = std::min<std::size_t>(incoming_.size(), state.count);
            std::memcpy(state.buffer, incoming_.data(), taken);
            incoming_.erase(0, taken);
            complete(call, TRUE, 0, static_cast<DWORD>(taken));
        }
    }
}

void scripted_serial::drive() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!changed_.wait_for(lock, std::chrono::milliseconds(5), [this] { return stopping_; })) {
        serve_calls();
    }
}

}  // namespace tessel::test
