#include "transport/serial_calls_win32.h"

#include <atomic>

#include "corvina/shared.h"

namespace tessel {

namespace {

// Plain functions of the table's own calling convention over the system's.
constexpr serial_calls system_calls{
    [](const char* path) {
        return reinterpret_cast<HANDLE>(uCreateFile(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                                                    corvina::invalid_file_handle));
    },
    [](HANDLE port, DCB* line) { return GetCommState(port, line); },
    [](HANDLE port, DCB* line) { return SetCommState(port, line); },
    [](HANDLE port, COMMTIMEOUTS* timeouts) { return SetCommTimeouts(port, timeouts); },
    [](HANDLE port, void* buffer, DWORD count, OVERLAPPED* call) {
        return ReadFile(port, buffer, count, nullptr, call);
    },
    [](HANDLE port, const void* bytes, DWORD count, OVERLAPPED* call) {
        return WriteFile(port, bytes, count, nullptr, call);
    },
    [](HANDLE port, OVERLAPPED* call, DWORD* moved, BOOL wait) {
        return GetOverlappedResult(port, call, moved, wait);
    },
    [](HANDLE port, OVERLAPPED* call) { return CancelIoEx(port, call); },
    [](HANDLE port, DWORD* errors) { return ClearCommError(port, errors, nullptr); },
    [](HANDLE port, DWORD what) { return PurgeComm(port, what); },
    [](HANDLE port) { return CloseHandle(port); },
};

std::atomic<const serial_calls*> calls_in_use{&system_calls};

}  // namespace

const serial_calls& current_serial_calls() {
    return *calls_in_use.load();
}

void use_serial_calls(const serial_calls* calls) {
    calls_in_use.store(calls != nullptr ? calls : &system_calls);
}

}  // namespace tessel
