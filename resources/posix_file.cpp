#include "resources/posix_file.hpp"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace pellow::detail {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd() { close(); }

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool UniqueFd::close() {
    if (fd_ < 0) return true;
    const int fd = release();
    return ::close(fd) == 0;
}

std::int64_t ReadAt(int fd, void* data, std::size_t size, std::int64_t offset) {
    auto* out = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool WriteAt(int fd, const void* data, std::size_t size, std::int64_t offset) {
    const auto* in = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, in + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {  // no progress and no error: give up rather than spin
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string WithErrno(const std::string& text, int err) {
    return text + ": " + std::strerror(err) + ".";
}

std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

}  // namespace pellow::detail
