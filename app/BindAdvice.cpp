#include "app/BindAdvice.h"

#include "app/ProgramPaths.h"
#include "engine/NetException.h"

namespace {

/// The Windows Sockets number the engine reports for EACCES and EPERM.
constexpr int kAccessDenied = 10013;

/// Linux lets only privileged processes bind ports below this one.
constexpr int kFirstUnprivilegedPort = 1024;

bool RefusedForPrivilege(const std::exception& failure, int port)
{
    const auto* socketError = dynamic_cast<const ESocketError*>(&failure);
    return socketError != nullptr && socketError->Number() == kAccessDenied && port > 0 &&
           port < kFirstUnprivilegedPort;
}

std::string Advice(int port, const std::filesystem::path& executable)
{
    const std::string program = executable.empty() ? std::string("veltrane") : executable.string();
    return "Port " + std::to_string(port) +
           " is below 1024, where Linux lets only privileged programs listen. Grant this "
           "program that privilege once with \"sudo setcap cap_net_bind_service=+ep " +
           program +
           "\" (a systemd service gets it with AmbientCapabilities=CAP_NET_BIND_SERVICE), or "
           "choose a port of 1024 or above.";
}

}  // namespace

std::string BindFailureMessage(const std::exception& failure, int port,
                               const std::filesystem::path& executable)
{
    std::string message = failure.what();
    if (RefusedForPrivilege(failure, port))
        message += "\r\r" + Advice(port, executable);
    return message;
}

std::string BindFailureMessage(const std::exception& failure, int port)
{
    return BindFailureMessage(failure, port, TProgramPaths::ExecutableFile());
}
