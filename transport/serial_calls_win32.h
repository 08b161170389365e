#pragma once
// The system calls of the Windows serial connection, called through one table: a test puts a
// table of its own in their place to make each answer a driver can give happen on purpose.

#include <windows.h>

namespace tessel {

struct serial_calls {
    // CreateFile of the port's \\.\ path, exclusive and overlapped; INVALID_HANDLE_VALUE
    // when it cannot be opened.
    HANDLE (*open)(const char* path);
    BOOL (*get_state)(HANDLE port, DCB* line);
    BOOL (*set_state)(HANDLE port, DCB* line);
    BOOL (*set_timeouts)(HANDLE port, COMMTIMEOUTS* timeouts);
    BOOL (*read)(HANDLE port, void* buffer, DWORD count, OVERLAPPED* call);
    BOOL (*write)(HANDLE port, const void* bytes, DWORD count, OVERLAPPED* call);
    BOOL (*overlapped_result)(HANDLE port, OVERLAPPED* call, DWORD* moved, BOOL wait);
    BOOL (*cancel)(HANDLE port, OVERLAPPED* call);
    BOOL (*clear_error)(HANDLE port, DWORD* errors);
    BOOL (*purge)(HANDLE port, DWORD what);
    BOOL (*close)(HANDLE port);
};

// The table in use: the system's, unless a test put its own.
const serial_calls& current_serial_calls();

// For tests: calls through the given table from now on (null: the system's again). The table
// must outlive its use; change it only while no port is open.
void use_serial_calls(const serial_calls* calls);

}  // namespace tessel
