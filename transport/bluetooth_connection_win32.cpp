// The serial port on Windows: \\.\ + name through the wrapper library, opened for overlapped
// I/O so that the reader's read and the writer's write really run at the same time (on one
// handle opened without it the system runs them one after the other), and so that either can
// be cancelled. The port's time-outs are kept by the system for overlapped calls as for
// synchronous ones: each call completes by itself when its time-out passes.

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>

#include "support/module_thread.h"
#include "transport/bluetooth_connection.h"
#include "transport/serial_calls_win32.h"

namespace tessel {

namespace {

HANDLE to_handle(corvina::file_handle port) {
    return reinterpret_cast<HANDLE>(port);
}

// A port set to abort on line errors (framing, parity, overrun) refuses every read and write
// until the error is cleared; left alone, one burst of noise would silence the link for good.
// Answers whether there was such an error.
bool clear_line_error(HANDLE port) {
    DWORD errors = 0;
    if (current_serial_calls().clear_error(port, &errors) == FALSE) {
        return false;
    }
    return (errors & (CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_RXOVER | CE_BREAK)) != 0;
}

// The event an overlapped call signals when it completes; one per call, as the reader and the
// writer each have a call of their own in progress.
class completion_event {
  public:
    completion_event() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    completion_event(const completion_event&) = delete;
    completion_event& operator=(const completion_event&) = delete;
    ~completion_event() {
        if (event_ != nullptr) {
            CloseHandle(event_);
        }
    }
    HANDLE get() const { return event_; }

  private:
    HANDLE event_;
};

// What the driver is handed for one call: its own, not the caller's, since a call the driver
// does not end when cancelled is left to end after its caller has returned.
struct port_call {
    OVERLAPPED overlapped{};
    completion_event done;
    std::unique_ptr<char[]> bytes;

    // Null when there is no memory or no event for it.
    static std::shared_ptr<port_call> make(std::size_t count) {
        std::shared_ptr<port_call> call(new (std::nothrow) port_call);
        if (call == nullptr || call->done.get() == nullptr) {
            return nullptr;
        }
        call->bytes.reset(new (std::nothrow) char[count]);
        if (call->bytes == nullptr) {
            return nullptr;
        }
        call->overlapped.hEvent = call->done.get();
        return call;
    }
};

// CancelIoEx only asks the driver to end a call and does not wait for it; a driver may hold a
// write until its own time-out (tens of seconds for a piece). A cancelled call still running
// after this long is left to end by itself.
constexpr DWORD cancelled_call_grace_ms = 500;

// Hands a cancelled call the driver still holds to a thread of its own, which keeps the
// call's memory and the module until the driver ends it. False when no thread could start.
bool let_call_go(const std::shared_ptr<port_call>& call) {
    try {
        module_thread waiter([call] { WaitForSingleObject(call->done.get(), INFINITE); });
        waiter.let_go();
        return true;
    } catch (...) {
        return false;
    }
}

// How one call ended.
struct call_end {
    bool succeeded = false;
    DWORD moved = 0;
    DWORD error = ERROR_SUCCESS;
};

// Waits for an overlapped call that is pending to complete, or cancels it when the cancel
// signal comes first. A cancelled call the driver holds past the grace is let go, as aborted.
call_end finish_overlapped(HANDLE port, const std::shared_ptr<port_call>& call,
                           const cancel_signal& cancel) {
    const serial_calls& system = current_serial_calls();
    const HANDLE waits[2] = {call->done.get(), reinterpret_cast<HANDLE>(cancel.wait_handle())};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        system.cancel(port, &call->overlapped);
        if (WaitForSingleObject(call->done.get(), cancelled_call_grace_ms) == WAIT_TIMEOUT &&
            let_call_go(call)) {
            return call_end{false, 0, ERROR_OPERATION_ABORTED};
        }
    }
    call_end end;
    end.succeeded = system.overlapped_result(port, &call->overlapped, &end.moved, TRUE) != FALSE;
    end.error = end.succeeded ? ERROR_SUCCESS : GetLastError();
    return end;
}

// What the end of one read or write means.
enum class call_outcome { moved, timed_out, cancelled, noise, lost };

// GetTickCount64 moves in steps of 10 to 16 ms: a call measured this much short of its
// time-out may still have lasted all of it.
constexpr ULONGLONG tick_slack_ms = 32;

// The one table of outcomes. Windows (as documented) ends a call whose time-out passed as a
// success with fewer bytes or none; Wine fails it with the time-out status (WAIT_TIMEOUT, 0x102)
// or ERROR_TIMEOUT. An abort is ours when we cancelled, else the driver's: noise when it was
// for a line error, now cleared. Every other failure is a lost port, ERROR_SEM_TIMEOUT (121)
// included: the code a Bluetooth port gives when the phone cannot be reached, like
// ERROR_GEN_FAILURE (31), ERROR_BAD_COMMAND (22) and ERROR_DEVICE_NOT_CONNECTED (1167) when
// its link drops. A wrong "lost" costs a reopen; a wrong "time-out" would cost the link.
// But a failure that came only once the call's whole time-out had passed is the time-out's:
// usbser and drivers built like it end a timed-out write with 121 rather than with fewer
// bytes, and a phone that is only slow to read must keep its link.
//
//   succeeded, every byte                            moved
//   succeeded, fewer or none                         timed_out
//   failed WAIT_TIMEOUT or ERROR_TIMEOUT             timed_out
//   failed ERROR_OPERATION_ABORTED, cancelled        cancelled
//   failed ERROR_OPERATION_ABORTED, line error       noise
//   failed, anything else, after the whole time-out  timed_out
//   failed, anything else, before it                 lost
template <class LineError>
call_outcome outcome_of(bool succeeded, DWORD moved, std::size_t count, DWORD error,
                        bool whole_time_out_passed, const cancel_signal& cancel,
                        LineError&& line_error) {
    if (succeeded) {
        return moved == count ? call_outcome::moved : call_outcome::timed_out;
    }
    switch (error) {
        case WAIT_TIMEOUT:
        case ERROR_TIMEOUT:
            return call_outcome::timed_out;
        case ERROR_OPERATION_ABORTED:
            if (cancel.is_set()) {
                return call_outcome::cancelled;
            }
            if (line_error()) {
                return call_outcome::noise;
            }
            break;
        default:
            break;
    }
    return whole_time_out_passed ? call_outcome::timed_out : call_outcome::lost;
}

// A read that brings nothing ends only when its whole time-out has passed, but a driver may
// answer at once (empty, timed out, aborted): the rest of the time-out is waited here, so
// that a reader reading in a loop never calls the system faster than that.
void wait_out_read_time_out(ULONGLONG started, std::size_t count, const cancel_signal& cancel) {
    const ULONGLONG total = static_cast<ULONGLONG>(serial_timeouts::read_total(count).count());
    const ULONGLONG spent = GetTickCount64() - started;
    if (spent < total) {
        WaitForSingleObject(reinterpret_cast<HANDLE>(cancel.wait_handle()),
                            static_cast<DWORD>(total - spent));
    }
}

enum class transfer { read, write };

// One overlapped ReadFile or WriteFile, waited for. failed: the port is lost.
DWORD transfer_bytes(transfer kind, HANDLE port, const cancel_signal& cancel,
                     line_error_record& line_errors, void* bytes, std::size_t count, bool& failed) {
    failed = false;
    if (cancel.is_set()) {
        return 0;
    }
    const std::shared_ptr<port_call> call = port_call::make(count);
    if (call == nullptr) {
        failed = true;
        return 0;
    }
    const serial_calls& system = current_serial_calls();
    const ULONGLONG started_at = GetTickCount64();
    const std::uint64_t errors_cleared = line_errors.cleared_so_far();
    const DWORD size = static_cast<DWORD>(count);
    BOOL started = FALSE;
    if (kind == transfer::read) {
        started = system.read(port, call->bytes.get(), size, &call->overlapped);
    } else {
        std::memcpy(call->bytes.get(), bytes, count);
        started = system.write(port, call->bytes.get(), size, &call->overlapped);
    }
    call_end end;
    if (started != FALSE) {
        end.succeeded =
            system.overlapped_result(port, &call->overlapped, &end.moved, TRUE) != FALSE;
        end.error = end.succeeded ? ERROR_SUCCESS : GetLastError();
    } else {
        end.error = GetLastError();
        if (end.error == ERROR_IO_PENDING) {
            end = finish_overlapped(port, call, cancel);
        }
    }
    const auto time_out = kind == transfer::read ? serial_timeouts::read_total(count)
                                                 : serial_timeouts::write_total(count);
    const bool whole_time_out_passed =
        GetTickCount64() - started_at + tick_slack_ms >= static_cast<ULONGLONG>(time_out.count());
    const call_outcome outcome =
        outcome_of(end.succeeded, end.moved, count, end.error, whole_time_out_passed, cancel, [&] {
            return line_errors.aborted_by_line_error(errors_cleared,
                                                     [port] { return clear_line_error(port); });
        });
    failed = outcome == call_outcome::lost;
    if (kind == transfer::read) {
        std::memcpy(bytes, call->bytes.get(), end.moved);
        if (end.moved == 0 && outcome != call_outcome::lost) {
            wait_out_read_time_out(started_at, count, cancel);
        }
    }
    return end.moved;
}

}  // namespace

corvina::file_handle bluetooth_connection::open_named_port(const string8& name) {
    string8 path("\\\\.\\");
    path += name.view();
    return reinterpret_cast<corvina::file_handle>(current_serial_calls().open(path.c_str()));
}

bool bluetooth_connection::configure_port(corvina::file_handle port) {
    // Replies carry any byte: a port left by another program with XON/XOFF or handshaking,
    // NUL stripping or an error character would stall on 0x11 and 0x13 or change bytes.
    // Speed and framing stay as they are. A port that refuses this still carries bytes
    // (a Bluetooth port ignores most of it), so only the time-outs decide.
    DCB line{};
    line.DCBlength = sizeof line;
    const serial_calls& system = current_serial_calls();
    if (system.get_state(to_handle(port), &line) != FALSE) {
        line.fBinary = TRUE;
        line.fOutxCtsFlow = FALSE;
        line.fOutxDsrFlow = FALSE;
        line.fDtrControl = DTR_CONTROL_ENABLE;
        line.fDsrSensitivity = FALSE;
        line.fOutX = FALSE;
        line.fInX = FALSE;
        line.fErrorChar = FALSE;
        line.fNull = FALSE;
        line.fRtsControl = RTS_CONTROL_ENABLE;
        line.fAbortOnError = FALSE;
        system.set_state(to_handle(port), &line);
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = serial_timeouts::read_interval;
    timeouts.ReadTotalTimeoutMultiplier = serial_timeouts::read_multiplier;
    timeouts.ReadTotalTimeoutConstant = serial_timeouts::read_constant;
    timeouts.WriteTotalTimeoutMultiplier = serial_timeouts::write_multiplier;
    timeouts.WriteTotalTimeoutConstant = serial_timeouts::write_constant;
    return system.set_timeouts(to_handle(port), &timeouts) != FALSE;
}

std::size_t bluetooth_connection::read_port(corvina::file_handle port, const cancel_signal& cancel,
                                            line_error_record& line_errors, void* buffer,
                                            std::size_t count, bool& failed) {
    return transfer_bytes(transfer::read, to_handle(port), cancel, line_errors, buffer, count,
                          failed);
}

std::size_t bluetooth_connection::write_port(corvina::file_handle port, const cancel_signal& cancel,
                                             line_error_record& line_errors, const void* bytes,
                                             std::size_t count, bool& failed) {
    // WriteFile does not change the bytes; the shared helper takes them as void*.
    return transfer_bytes(transfer::write, to_handle(port), cancel, line_errors,
                          const_cast<void*>(bytes), count, failed);
}

void bluetooth_connection::discard_port_input(corvina::file_handle port) {
    current_serial_calls().purge(to_handle(port), PURGE_RXCLEAR);
}

std::size_t bluetooth_connection::port_input_waiting(corvina::file_handle port) {
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(to_handle(port), &errors, &status) != FALSE ? status.cbInQue : 0;
}

void bluetooth_connection::close_port(corvina::file_handle port) {
    if (port != corvina::invalid_file_handle) {
        current_serial_calls().close(to_handle(port));
    }
}

}  // namespace tessel
