#include "security/IPAddrUtils.h"

#include <algorithm>

namespace UIPAddrUtils {

namespace {

constexpr std::size_t kDottedMax = 15;
constexpr std::size_t kPaddedLength = 12;
constexpr int kPieces = 4;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// Characters 3i-2 to 3i of the padded form, for triplet i from 1 to 4.
std::string_view Triplet(std::string_view padded, int i)
{
    return padded.substr(static_cast<std::size_t>(3 * (i - 1)), 3);
}

int TripletValue(std::string_view triplet)
{
    int value = 0;
    for (const char c : triplet)
        value = value * 10 + (c - '0');
    return value;
}

void CheckPiece(const std::string& piece, const std::string& ipString)
{
    if (piece.empty() || piece.size() > 3)
        throw EIPAddressError("IPAddress must include 4 pieces of length 1..3. IPAddressString["
                              + ipString + "]");
    if (piece.size() > 1 && piece.front() == '0')
        throw EIPAddressError("Leading zero not allowed. IPAddressString[" + ipString + "]");
}

void CheckTriplet(std::string_view triplet, const std::string& ipString)
{
    if (!std::all_of(triplet.begin(), triplet.end(), IsDigit))
        throw EIPAddressError(std::string("IP Address contains illegal symbols")
                              + ". IPAddressString[" + ipString + "]");
    if (TripletValue(triplet) > 255)
        throw EIPAddressError("Triplets must be of range 0..255  IPAddressString[" + ipString
                              + "]");
}

}  // namespace

std::string GetToken(std::string_view text, int n, char separator)
{
    if (n < 1)
        return {};
    for (int piece = 1; piece < n; ++piece) {
        const auto next = text.find(separator);
        if (next == std::string_view::npos)
            return {};
        text.remove_prefix(next + 1);
    }
    return std::string(text.substr(0, text.find(separator)));
}

std::size_t CountChar(std::string_view text, char c)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

std::string IPToPaddedDigits(const std::string& ipString)
{
    if (ipString.size() > kDottedMax)
        throw EIPAddressError("Illegal length for IPString![" + ipString + "("
                              + std::to_string(ipString.size()) + ")]");
    if (CountChar(ipString, '.') != 3)
        throw EIPAddressError("Must include exactly 3 dots! [" + ipString + "]");
    std::string padded;
    for (int i = 1; i <= kPieces; ++i) {
        const auto piece = GetToken(ipString, i, '.');
        CheckPiece(piece, ipString);
        padded += std::string(3 - piece.size(), '0') + piece;
    }
    return padded;
}

void CheckPaddedDigits(const std::string& padded, const std::string& ipString)
{
    if (padded.size() != kPaddedLength)
        throw EIPAddressError("Illegal length for IPString![" + ipString + " (Length:"
                              + std::to_string(padded.size()) + ") ]");
    for (int i = 1; i <= kPieces; ++i)
        CheckTriplet(Triplet(padded, i), ipString);
}

void ValidateIPString(const std::string& ipString)
{
    CheckPaddedDigits(IPToPaddedDigits(ipString), ipString);
}

int GetOctet(const std::string& ipString, int n)
{
    ValidateIPString(ipString);
    if (n < 1 || n > kPieces)
        return 0;
    return TripletValue(Triplet(IPToPaddedDigits(ipString), n));
}

}  // namespace UIPAddrUtils
