#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

/// A dotted IPv4 text that fails a check; what() is the message shown to the operator.
class EIPAddressError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Checks and conversions for dotted-decimal IPv4 text. They never repair a text: the first
/// fault found is raised as EIPAddressError. Pure functions, safe on any thread.
namespace UIPAddrUtils {

/// The n-th piece (from 1) of `text` split at `separator`; empty when the text runs out first.
std::string GetToken(std::string_view text, int n, char separator);

/// How often `c` occurs in `text`.
std::size_t CountChar(std::string_view text, char c);

/// The 12-digit padded form of a dotted text (10.0.12.255 gives 010000012255), after
/// checking its length, its three dots and its four pieces.
std::string IPToPaddedDigits(const std::string& ipString);

/// Checks that `padded` is twelve digits forming four triplets of 0 to 255; `ipString` is the
/// dotted text it came from and fills the messages.
void CheckPaddedDigits(const std::string& padded, const std::string& ipString);

/// Checks a dotted text completely.
void ValidateIPString(const std::string& ipString);

/// The value of octet n (1 to 4) of a valid dotted text; any other n gives 0.
int GetOctet(const std::string& ipString, int n);

}  // namespace UIPAddrUtils
