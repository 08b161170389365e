// The serial port on Windows: \\.\ + name through the wrapper library, opened for overlapped
// I/O so that the reader's read and the writer's write really run at the same time (on one
// handle opened without it the system runs them one after the other), and so that either can
// be cancelled. The port's time-outs are kept by the system for overlapped calls as for
// synchronous ones: each call completes by itself when its time-out passes.

#include <windows.h>

#include "corvina/shared.h"
#include "transport/bluetooth_connection.h"

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
    if (ClearCommError(port, &errors, nullptr) == FALSE) {
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
    const HANDLE waits[2] = {call.hEvent, reinterpret_cast<HANDLE>(cancel.wait_handle())};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        CancelIoEx(port, &call);
    }
    // Waits for the call to be over in every case: its buffer and event must outlive it.
    return GetOverlappedResult(port, &call, &moved, TRUE) != FALSE;
}

// A call that we cancelled or that ran out of time has not failed. Windows completes a serial
// call whose time-out passed as a success with fewer bytes; Wine's serial emulation completes
// it with a time-out status instead.
bool ended_by_design(DWORD error, const cancel_signal& cancel) {
    if (error == ERROR_OPERATION_ABORTED) {
        return cancel.is_set();  // otherwise the driver's: a line error, or a link that dropped
    }
    return error == WAIT_TIMEOUT || error == ERROR_TIMEOUT || error == ERROR_SEM_TIMEOUT;
}

// A read that brings nothing ends only when its whole time-out has passed, but some drivers
// answer at once, empty: the rest of the time-out is waited here, so that a reader reading in
// a loop does not spin.
void wait_out_read_time_out(ULONGLONG started, std::size_t count, const cancel_signal& cancel) {
    const ULONGLONG total = static_cast<ULONGLONG>(serial_timeouts::read_total(count).count());
    const ULONGLONG spent = GetTickCount64() - started;
    if (spent < total) {
        WaitForSingleObject(reinterpret_cast<HANDLE>(cancel.wait_handle()),
                            static_cast<DWORD>(total - spent));
    }
}

enum class transfer { read, write };

// One overlapped ReadFile or WriteFile, waited for. failed: the port refused the call or
// failed it; a call cancelled or timed out is not a failure.
DWORD transfer_bytes(transfer kind, HANDLE port, const cancel_signal& cancel, void* bytes,
                     std::size_t count, bool& failed) {
    failed = false;
    const completion_event done;
    if (done.get() == nullptr) {
        failed = true;
        return 0;
    }
    if (cancel.is_set()) {
        return 0;
    }
    OVERLAPPED call{};
    call.hEvent = done.get();
    DWORD moved = 0;
    const ULONGLONG started_at = GetTickCount64();
    const DWORD size = static_cast<DWORD>(count);
    const BOOL started = kind == transfer::read ? ReadFile(port, bytes, size, nullptr, &call)
                                                : WriteFile(port, bytes, size, nullptr, &call);
    bool succeeded = false;
    if (started != FALSE) {
        succeeded = GetOverlappedResult(port, &call, &moved, TRUE) != FALSE;
    } else if (GetLastError() == ERROR_IO_PENDING) {
        succeeded = finish_overlapped(port, call, cancel, moved);
    }
    if (!succeeded) {
        const DWORD error = GetLastError();
        if (!ended_by_design(error, cancel)) {
            // An abort for a line error, now cleared, is noise on the line, not a lost port.
            const bool line_error = clear_line_error(port);
            failed = !(line_error && error == ERROR_OPERATION_ABORTED);
        }
    } else if (kind == transfer::read && moved == 0 && count > 0) {
        wait_out_read_time_out(started_at, count, cancel);
    }
    return moved;
}

}  // namespace

corvina::file_handle bluetooth_connection::open_named_port(const string8& name) {
    string8 path("\\\\.\\");
    path += name.view();
    return uCreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, corvina::invalid_file_handle);
}

bool bluetooth_connection::configure_port(corvina::file_handle port) {
    // Replies carry any byte: a port left by another program with XON/XOFF or handshaking,
    // NUL stripping or an error character would stall on 0x11 and 0x13 or change bytes.
    // Speed and framing stay as they are. A port that refuses this still carries bytes
    // (a Bluetooth port ignores most of it), so only the time-outs decide.
    DCB line{};
    line.DCBlength = sizeof line;
    if (GetCommState(to_handle(port), &line) != FALSE) {
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
        SetCommState(to_handle(port), &line);
    }
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = serial_timeouts::read_interval;
    timeouts.ReadTotalTimeoutMultiplier = serial_timeouts::read_multiplier;
    timeouts.ReadTotalTimeoutConstant = serial_timeouts::read_constant;
    timeouts.WriteTotalTimeoutMultiplier = serial_timeouts::write_multiplier;
    timeouts.WriteTotalTimeoutConstant = serial_timeouts::write_constant;
    return SetCommTimeouts(to_handle(port), &timeouts) != FALSE;
}

std::size_t bluetooth_connection::read_port(corvina::file_handle port, const cancel_signal& cancel,
                                            void* buffer, std::size_t count, bool& failed) {
    return transfer_bytes(transfer::read, to_handle(port), cancel, buffer, count, failed);
}

std::size_t bluetooth_connection::write_port(corvina::file_handle port, const cancel_signal& cancel,
                                             const void* bytes, std::size_t count, bool& failed) {
    // WriteFile does not change the bytes; the shared helper takes them as void*.
    return transfer_bytes(transfer::write, to_handle(port), cancel, const_cast<void*>(bytes), count,
                          failed);
}

void bluetooth_connection::discard_port_input(corvina::file_handle port) {
    PurgeComm(to_handle(port), PURGE_RXCLEAR);
}

std::size_t bluetooth_connection::port_input_waiting(corvina::file_handle port) {
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(to_handle(port), &errors, &status) != FALSE ? status.cbInQue : 0;
}

void bluetooth_connection::close_port(corvina::file_handle port) {
    if (port != corvina::invalid_file_handle) {
        CloseHandle(to_handle(port));
    }
}

}  // namespace tessel
