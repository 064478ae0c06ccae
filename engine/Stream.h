#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

#include "engine/TFTPPacket.h"
#include "engine/TransferOutcome.h"

/// The source or destination of one transfer. A stream is used by one session thread
/// at a time, from the session's start to its end.
class TStream {
public:
    virtual ~TStream() = default;
    /// Reads up to `count` bytes into `buffer`; returns how many were read (0 at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    /// Fills `buffers` in turn as consecutive Reads of their sizes would, and returns the
    /// bytes read in all. It stops after the first buffer left short, so fewer bytes than
    /// asked need not mean the end. A stream that can fill several buffers in one call (a
    /// file) overrides this; any other reads one buffer at a time.
    virtual std::size_t ReadScattered(std::span<const std::span<char>> buffers)
    {
        std::size_t total = 0;
        for (const std::span<char> buffer : buffers) {
            const std::size_t got = Read(buffer.data(), buffer.size());
            total += got;
            if (got < buffer.size())
                break;
        }
        return total;
    }
    /// Writes all `count` bytes or raises EStreamWriteError.
    virtual void Write(const void* buffer, std::size_t count) = 0;
    virtual std::int64_t Position() const = 0;
    virtual std::int64_t Size() const = 0;
    /// Called by a write session once the final block is written and before it is
    /// acknowledged: makes the bytes lasting and puts them where they belong, so nothing
    /// acknowledged can be lost. Raises to refuse the upload; the peer then gets an ERROR
    /// instead of the final ACK. In `mode` tmNetAscii the bytes differ from the sender's
    /// file by their line ends.
    virtual void Commit(TTransferMode mode) { (void)mode; }
    /// Told once by the session, on its own thread, the moment the transfer's outcome is
    /// decided and before the completion report waits for the main thread, so whatever
    /// the transfer holds (its place under the connection limit) is given back at once.
    /// Must be quick and must not raise.
    virtual void OutcomeKnown(TTransferOutcome outcome) noexcept { (void)outcome; }
};

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Writing to a stream failed (a full disk, an I/O error).
class EStreamWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

/// Reading from a stream failed.
class EStreamReadFailure : public EStreamError {
public:
    using EStreamError::EStreamError;
};

/// A file could not be opened for reading: "Cannot open file \"%s\". %s".
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

/// A file could not be created: "Cannot create file \"%s\". %s".
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
