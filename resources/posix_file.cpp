#include "resources/posix_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
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

std::string NewFile::TemporaryName(std::string_view name) {
    const std::size_t slash = name.rfind('/');
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    std::string temporary(name.substr(0, start));
    temporary += '.';
    temporary += name.substr(start);
    temporary += ".part";
    return temporary;
}

bool NewFile::Create(mode_t mode) {
    temporary_ = TemporaryName(name_);
    fd_ = UniqueFd(::openat(folder_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    made_ = static_cast<bool>(fd_);
    return made_;
}

bool NewFile::Commit() {
    const bool ok = fd_.close();
    if (ok && ::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) == 0) {
        made_ = false;
        return true;
    }
    const int err = errno;
    Discard();
    errno = err;
    return false;
}

void NewFile::Discard() noexcept {
    fd_.close();
    if (made_) ::unlinkat(folder_, temporary_.c_str(), 0);
    made_ = false;
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

std::string WithErrno(const std::string& text, int err) { return text + ": " + std::strerror(err) + "."; }

std::string Quoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

}  // namespace pellow::detail
