#pragma once

/// How a transfer ended, as its session knows it the moment it is decided.
enum class TTransferOutcome {
    Succeeded,          ///< every byte reached its place (see the session for when)
    Failed,             ///< anything else: a timeout, an error, a stop
    SizeQueryAnswered,  ///< the client took the OACK's tsize and ended with ERROR 8 (RFC 2349)
};
