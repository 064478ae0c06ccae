#pragma once

#include <utility>

#include <unistd.h>

/// Owns one file descriptor and closes it. Made from the very call that returns the
/// descriptor, so no path between that call and its owner can lose it. Move-only.
class TUniqueFd {
public:
    TUniqueFd() noexcept = default;
    explicit TUniqueFd(int fd) noexcept : fd_(fd) {}
    TUniqueFd(TUniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    ~TUniqueFd() { Reset(); }

    int Get() const noexcept { return fd_; }
    bool Valid() const noexcept { return fd_ >= 0; }
    /// Hands the descriptor to a new owner.
    int Release() noexcept { return std::exchange(fd_, -1); }
    /// Closes now, so that a failing close (a delayed write error) can be reported: the
    /// result of close(), or -1 when nothing was open.
    int Close() noexcept { return fd_ >= 0 ? ::close(std::exchange(fd_, -1)) : -1; }
    void Reset(int fd = -1) noexcept
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};
