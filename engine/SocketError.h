#pragma once

#include <string>

/// The Windows Sockets number that reports the condition of an errno value, so that
/// every socket failure text reads the same on every platform. Unknown values pass
/// through unchanged.
int WinsockErrorNumber(int errnoValue);

/// The text of a Windows Sockets number; empty for numbers without one.
std::string SocketErrorText(int number);

/// "Socket Error # %d\r\n%s" for a Windows Sockets number.
std::string SocketErrorMessage(int number);

/// Raises ESocketError for the current errno.
[[noreturn]] void RaiseLastSocketError();
