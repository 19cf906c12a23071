#pragma once
// Small POSIX file helpers shared by the archive reader, the unpacking and the bitmap writer:
// an owning descriptor and whole-buffer reads and writes that retry short transfers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace pellow::detail {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release();
    // Closes now and reports whether the close succeeded (a late write error shows here).
    bool close();

private:
    int fd_ = -1;
};

// A file made new under a temporary name beside its final one (".<name>.part") and renamed into
// place once whole: the final name never shows a partial file, and nothing already at either
// name is opened, so a link found there is never written through. folder is an open folder or
// AT_FDCWD; name is relative to it and may hold '/'.
class NewFile {
public:
    NewFile(int folder, std::string name) : folder_(folder), name_(std::move(name)) {}
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile() { Discard(); }

    // Makes the temporary file; false with errno set when it cannot be made.
    bool Create(mode_t mode = 0644);
    int get() const { return fd_.get(); }
    // Closes the file and gives it its final name; false with errno set on failure (the
    // temporary file is then removed).
    bool Commit();
    // Removes the temporary file, if it is still there.
    void Discard() noexcept;

    static std::string TemporaryName(std::string_view name);

private:
    int folder_;
    std::string name_;
    std::string temporary_;
    UniqueFd fd_;
    bool made_ = false;
};

// Reads up to size bytes at offset; returns how many were read (fewer only at the end of the
// file) or -1 with errno set.
std::int64_t ReadAt(int fd, void* data, std::size_t size, std::int64_t offset);
// Writes all of size bytes at offset; false with errno set on failure.
bool WriteAt(int fd, const void* data, std::size_t size, std::int64_t offset);

// "<text>: <the system's description of err>." for messages shown to the player.
std::string WithErrno(const std::string& text, int err);
// text in double quotes, how messages show a path or a name.
std::string Quoted(std::string_view text);

}  // namespace pellow::detail
