// The serial port on Windows: \\.\ + name through the wrapper library, the port's time-outs
// kept by the system.

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
void clear_line_error(HANDLE port) {
    DWORD errors = 0;
    ClearCommError(port, &errors, nullptr);
}

}  // namespace

corvina::file_handle bluetooth_connection::open_port(const string8& name) {
    string8 path("\\\\.\\");
    path += name.view();
    return uCreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                       corvina::invalid_file_handle);
}

bool bluetooth_connection::configure_port(corvina::file_handle port) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = serial_timeouts::read_interval;
    timeouts.ReadTotalTimeoutMultiplier = serial_timeouts::read_multiplier;
    timeouts.ReadTotalTimeoutConstant = serial_timeouts::read_constant;
    timeouts.WriteTotalTimeoutMultiplier = serial_timeouts::write_multiplier;
    timeouts.WriteTotalTimeoutConstant = serial_timeouts::write_constant;
    return SetCommTimeouts(to_handle(port), &timeouts) != FALSE;
}

std::size_t bluetooth_connection::read_port(corvina::file_handle port, void* buffer,
                                            std::size_t count, bool& failed) {
    DWORD got = 0;
    failed = ReadFile(to_handle(port), buffer, static_cast<DWORD>(count), &got, nullptr) == FALSE;
    if (failed) {
        clear_line_error(to_handle(port));
    }
    return got;
}

std::size_t bluetooth_connection::write_port(corvina::file_handle port, const void* bytes,
                                             std::size_t count) {
    DWORD sent = 0;
    if (WriteFile(to_handle(port), bytes, static_cast<DWORD>(count), &sent, nullptr) == FALSE) {
        clear_line_error(to_handle(port));
    }
    return sent;
}

void bluetooth_connection::close_port(corvina::file_handle port) {
    uCloseFile(port);
}

}  // namespace tessel
