#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

/// Failures raised inside the engine. The TFTP kinds map to protocol error codes 1 to 6;
/// every other failure reaches a peer as code 0 with its own text.
class ENetException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A failed socket call: carries the Windows Sockets number the errno maps to.
class ESocketError : public ENetException {
public:
    explicit ESocketError(int number);
    int Number() const { return number_; }

private:
    int number_;
};

/// A send the system refused for the moment (a local firewall drop, no buffer space): as
/// far as the peer can tell the datagram was lost on the wire, and a later send may pass.
class ESendRefusedForNow : public ESocketError {
public:
    using ESocketError::ESocketError;
};

class ECouldNotBindSocket : public ENetException {
public:
    ECouldNotBindSocket() : ENetException("Could not bind socket. Address and port are already in use.") {}
};

class EInvalidIPAddress : public ENetException {
public:
    explicit EInvalidIPAddress(const std::string& ip);
};

class EInvalidPortRange : public ENetException {
public:
    EInvalidPortRange(int min, int max);
};

class ECanNotBindRange : public ENetException {
public:
    ECanNotBindRange(int min, int max);
};

/// Every port of the transfer port range is taken by a running transfer or another program.
class ENoFreeTransferPort : public ENetException {
public:
    ENoFreeTransferPort() : ENetException("No free transfer port") {}
};

class EPackageSizeTooBig : public ENetException {
public:
    EPackageSizeTooBig() : ENetException("Package Size Too Big.") {}
};

class ENotAllBytesSent : public ENetException {
public:
    ENotAllBytesSent() : ENetException("Not all bytes sent.") {}
};

/// A request datagram too short to hold an opcode.
class EStreamReadError : public ENetException {
public:
    EStreamReadError() : ENetException("Stream read error") {}
};

/// An option value that is not a 32-bit integer.
class EConvertError : public ENetException {
public:
    explicit EConvertError(const std::string& text);
};

/// The session ends because the peer sent an ERROR; nothing is sent back.
class EAbort : public ENetException {
public:
    EAbort() : ENetException("Operation aborted") {}
};

class ETFTPException : public ENetException {
public:
    using ENetException::ENetException;
};

class ETFTPFileNotFound : public ETFTPException {
public:
    using ETFTPException::ETFTPException;
};

class ETFTPAccessViolation : public ETFTPException {
public:
    using ETFTPException::ETFTPException;
};

class ETFTPAllocationExceeded : public ETFTPException {
public:
    using ETFTPException::ETFTPException;
};

class ETFTPIllegalOperation : public ETFTPException {
public:
    using ETFTPException::ETFTPException;
};

/// RFC 1350 code 6: the name was taken by another file.
class ETFTPFileAlreadyExists : public ETFTPException {
public:
    using ETFTPException::ETFTPException;
};

/// The TFTP error code a failure is reported with: 1 to 4 and 6 for the TFTP kinds, else 0.
std::uint16_t ErrorCodeFor(const std::exception& failure);

/// printf-style formatting into a std::string, for the engine's message texts.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
