// The serial port on Windows: \\.\ + name through the wrapper library, opened for overlapped
// I/O so that the reader's read and the writer's write really run at the same time (on one
// handle opened without it the system runs them one after the other), and so that either can
// be cancelled. The port's time-outs are kept by the system for overlapped calls as for
// synchronous ones: each call completes by itself when its time-out passes.

#include <windows.h>

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

// Waits for an overlapped call that is pending to complete, or cancels it when the cancel
// signal comes first. Answers whether it succeeded, with the bytes it moved.
bool finish_overlapped(HANDLE port, OVERLAPPED& call, const cancel_signal& cancel, DWORD& moved) {
    const serial_calls& system = current_serial_calls();
    const HANDLE waits[2] = {call.hEvent, reinterpret_cast<HANDLE>(cancel.wait_handle())};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        system.cancel(port, &call);
    }
    // Waits for the call to be over in every case: its buffer and event must outlive it.
    return system.overlapped_result(port, &call, &moved, TRUE) != FALSE;
}

// What the end of one read or write means.
enum class call_outcome { moved, timed_out, cancelled, noise, lost };

// The one table of outcomes. Windows (as documented) ends a call whose time-out passed as a
// success with fewer bytes or none; Wine fails it with the time-out status (WAIT_TIMEOUT, 0x102)
// or ERROR_TIMEOUT. An abort is ours when we cancelled, else the driver's: noise when it was
// for a line error, now cleared. Every other failure is a lost port, ERROR_SEM_TIMEOUT (121)
// included: the code a Bluetooth port gives when the phone cannot be reached, like
// ERROR_GEN_FAILURE (31), ERROR_BAD_COMMAND (22) and ERROR_DEVICE_NOT_CONNECTED (1167) when
// its link drops. A wrong "lost" costs a reopen; a wrong "time-out" would cost the link.
//
//   succeeded, every byte                            moved
//   succeeded, fewer or none                         timed_out
//   failed WAIT_TIMEOUT or ERROR_TIMEOUT             timed_out
//   failed ERROR_OPERATION_ABORTED, cancelled        cancelled
//   failed ERROR_OPERATION_ABORTED, line error       noise
//   failed, anything else                            lost
template <class LineError>
call_outcome outcome_of(bool succeeded, DWORD moved, std::size_t count, DWORD error,
                        const cancel_signal& cancel, LineError&& line_error) {
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
            return line_error() ? call_outcome::noise : call_outcome::lost;
        default:
            return call_outcome::lost;
    }
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
    const completion_event done;
    if (done.get() == nullptr) {
        failed = true;
        return 0;
    }
    if (cancel.is_set()) {
        return 0;
    }
    const serial_calls& system = current_serial_calls();
    OVERLAPPED call{};
    call.hEvent = done.get();
    DWORD moved = 0;
    const ULONGLONG started_at = GetTickCount64();
    const std::uint64_t errors_cleared = line_errors.cleared_so_far();
    const DWORD size = static_cast<DWORD>(count);
    const BOOL started = kind == transfer::read ? system.read(port, bytes, size, &call)
                                                : system.write(port, bytes, size, &call);
    bool succeeded = false;
    if (started != FALSE) {
        succeeded = system.overlapped_result(port, &call, &moved, TRUE) != FALSE;
    } else if (GetLastError() == ERROR_IO_PENDING) {
        succeeded = finish_overlapped(port, call, cancel, moved);
    }
    const DWORD error = succeeded ? ERROR_SUCCESS : GetLastError();
    const call_outcome outcome = outcome_of(succeeded, moved, count, error, cancel, [&] {
        return line_errors.aborted_by_line_error(errors_cleared,
                                                 [port] { return clear_line_error(port); });
    });
    failed = outcome == call_outcome::lost;
    if (kind == transfer::read && moved == 0 && outcome != call_outcome::lost) {
        wait_out_read_time_out(started_at, count, cancel);
    }
    return moved;
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
