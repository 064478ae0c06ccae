#include "engine/NetException.h"

#include <cstdarg>
#include <cstdio>

#include "engine/SocketError.h"

ESocketError::ESocketError(int number)
    : ENetException(SocketErrorMessage(number)), number_(number)
{
}

EInvalidIPAddress::EInvalidIPAddress(const std::string& ip)
    : ENetException(FormatText("%s is not a valid IP address.", ip.c_str()))
{
}

EInvalidPortRange::EInvalidPortRange(int min, int max)
    : ENetException(FormatText("Invalid Port Range (%d - %d)", min, max))
{
}

ECanNotBindRange::ECanNotBindRange(int min, int max)
    : ENetException(FormatText("Can not bind in port range (%d - %d)", min, max))
{
}

EConvertError::EConvertError(const std::string& text)
    : ENetException(FormatText("'%s' is not a valid integer value", text.c_str()))
{
}

std::uint16_t ErrorCodeFor(const std::exception& failure)
{
    if (dynamic_cast<const ETFTPFileNotFound*>(&failure) != nullptr)
        return 1;
    if (dynamic_cast<const ETFTPAccessViolation*>(&failure) != nullptr)
        return 2;
    if (dynamic_cast<const ETFTPAllocationExceeded*>(&failure) != nullptr)
        return 3;
    if (dynamic_cast<const ETFTPIllegalOperation*>(&failure) != nullptr)
        return 4;
    if (dynamic_cast<const ETFTPFileAlreadyExists*>(&failure) != nullptr)
        return 6;
    return 0;
}

std::string FormatText(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}
