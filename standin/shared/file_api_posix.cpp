// Files and devices of the wrapper library on POSIX. Share mode 0 takes the file for this
// handle alone: an advisory lock that every open of this library asks for, and for terminals
// the kernel's exclusive mode as well.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "corvina/shared.h"

namespace {

namespace win32 = corvina::win32_values;

constexpr std::uint32_t create_new = 1;
constexpr std::uint32_t create_always = 2;
constexpr std::uint32_t open_always = 4;
constexpr std::uint32_t truncate_existing = 5;

int open_flags(std::uint32_t access, std::uint32_t disposition) {
    const bool reads = (access & win32::generic_read) != 0;
    const bool writes = (access & win32::generic_write) != 0;
    int flags = O_NOCTTY | O_CLOEXEC;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    switch (disposition) {
        case create_new:
            flags |= O_CREAT | O_EXCL;
            break;
        case create_always:
            flags |= O_CREAT | O_TRUNC;
            break;
        case open_always:
            flags |= O_CREAT;
            break;
        case truncate_existing:
            flags |= O_TRUNC;
            break;
        default:  // open_existing
            break;
    }
    return flags;
}

int close_descriptor(int fd) {
    // Linux releases the descriptor even when close reports EINTR: never close twice.
    return ::close(fd);
}

}  // namespace

corvina::file_handle uCreateFile(const char* path, std::uint32_t access, std::uint32_t share_mode,
                                 void* /*security*/, std::uint32_t disposition,
                                 std::uint32_t /*flags*/, corvina::file_handle /*template_file*/) {
    if (path == nullptr || *path == '\0') {
        return corvina::invalid_file_handle;
    }
    int fd = -1;
    do {
        fd = ::open(path, open_flags(access, disposition), 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return corvina::invalid_file_handle;
    }
    // Every open takes the advisory lock, shared unless the share mode is 0, so that an
    // exclusive open and any other open exclude each other in either order. The lock holds
    // for root as well, which the terminal's exclusive mode does not.
    const bool exclusive = share_mode == 0;
    // Where the file system keeps no such locks the open goes ahead unguarded.
    if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close_descriptor(fd);
        return corvina::invalid_file_handle;
    }
    // Whoever closes a port handle gives the exclusive mode up first (TIOCNXCL).
    if (exclusive && isatty(fd)) {
        ioctl(fd, TIOCEXCL);
    }
    return fd;
}
