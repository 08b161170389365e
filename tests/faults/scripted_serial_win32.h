#pragma once
// A serial port whose every answer the test decides, put in place of the system's calls through
// the Windows connection's table: the phone's bytes, and each way a driver can end a read or a
// write (at once or pending, with any error, aborted by a line error, held past a cancellation).

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace tessel::test {

class scripted_serial {
  public:
    // How one read ends, when the phone sends nothing first.
    struct ending {
        enum class how { fails_at_once, fails, aborted_by_line_error } kind;
        DWORD error;
    };

    // Installs itself as the system's serial calls; one at a time.
    scripted_serial();
    scripted_serial(const scripted_serial&) = delete;
    scripted_serial& operator=(const scripted_serial&) = delete;
    ~scripted_serial();

    void phone_sends(const std::string& bytes);
    // What was written to the port so far.
    std::string phone_received() const;

    // The next count reads end so, when the phone has sent nothing.
    void next_reads_end(ending how, int count = 1);
    // Reads end by the phone's bytes or their time-out again.
    void reads_end_normally();
    // From now on every read and write fails at once with the error; 0: they work again.
    void every_call_fails_at_once(DWORD error);
    // The next write that comes while a read is pending: one line error aborts both.
    void abort_read_and_next_write_by_one_line_error();

    // From now on the phone reads nothing: each write is held until its whole time-out has
    // passed, whatever a cancellation asks, and then ends so: error 0, a success with nothing
    // written; else a failure with the error. writes_taken(): they go out at once again.
    void writes_held_until_time_out(DWORD error);
    void writes_taken();
    // Writes begun and not ended yet.
    int writes_in_progress() const;

    int opens() const;
    int reads() const;

  private:
    struct call_state {
        void* buffer = nullptr;
        DWORD count = 0;
        bool is_read = false;
        bool done = false;
        BOOL result = FALSE;
        DWORD error = 0;
        DWORD moved = 0;
        ULONGLONG deadline = 0;
        bool held = false;  // a write that ignores cancellation
    };

    HANDLE open(const char* path);
    BOOL read(void* buffer, DWORD count, OVERLAPPED* call);
    BOOL write(const void* bytes, DWORD count, OVERLAPPED* call);
    BOOL overlapped_result(OVERLAPPED* call, DWORD* moved);
    BOOL cancel(OVERLAPPED* call);
    BOOL clear_error(DWORD* errors);
    void purge();

    // Under mutex_.
    void complete(OVERLAPPED* call, BOOL result, DWORD error, DWORD moved);
    void serve_calls();
    void drive();

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string incoming_;
    std::string written_;
    std::deque<ending> read_endings_;
    std::map<OVERLAPPED*, call_state> calls_;
    DWORD every_call_error_ = 0;
    bool abort_both_ = false;
    bool holding_writes_ = false;
    DWORD held_write_error_ = 0;
    DWORD line_errors_ = 0;
    int opens_ = 0;
    int reads_ = 0;
    bool stopping_ = false;
    std::thread driver_;

    friend struct scripted_serial_calls;
};

}  // namespace tessel::test
