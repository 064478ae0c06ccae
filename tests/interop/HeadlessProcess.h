#pragma once

// A veltrane --headless process for tests, with its output in files.

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/TempDir.h"

extern char** environ;

/// A UDP port that was free a moment ago.
inline int FreePort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

/// One headless server process with its output in files; killed if still running.
class THeadlessProcess {
public:
    /// Standard output goes to "stdout.txt", or to `stdoutFd` when one is given.
    THeadlessProcess(const TTempDir& dir, std::vector<std::string> arguments, int stdoutFd = -1) : dir_(dir)
    {
        arguments.insert(arguments.begin(), {VELTRANE_BINARY, "--headless", "--config-dir", dir.Str()});
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        if (stdoutFd >= 0)
            posix_spawn_file_actions_adddup2(&files, stdoutFd, 1);
        else
            posix_spawn_file_actions_addopen(&files, 1, (dir.Path() / "stdout.txt").c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, (dir.Path() / "stderr.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        posix_spawn(&pid_, VELTRANE_BINARY, &files, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&files);
    }
    ~THeadlessProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    /// Sends `signal` and leaves the process running.
    void Signal(int signal) const { ::kill(pid_, signal); }
    /// Sends `signal` and returns the exit status (-1 if it did not exit normally).
    int Stop(int signal = SIGTERM)
    {
        ::kill(pid_, signal);
        return Wait();
    }
    int Wait()
    {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t Pid() const { return pid_; }
    std::string Out() const { return TTempDir::ReadFile(dir_.Path() / "stdout.txt"); }
    std::string Err() const { return TTempDir::ReadFile(dir_.Path() / "stderr.txt"); }

private:
    const TTempDir& dir_;
    pid_t pid_ = -1;
};

/// Runs a shell command quietly; its exit status.
inline int Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str());
}


