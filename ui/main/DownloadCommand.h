#pragma once

#include <string>
#include <vector>

#include <QString>
#include <QStringList>

/// `word` as one word of a POSIX shell: unchanged when it holds only characters no shell
/// treats specially, otherwise in single quotes (a quote inside written as '\'').
QString ShellQuoted(const QString& word);

/// Lines an engineer pastes to fetch `name` from this server at `address` and `port`: with
/// curl, with tftp, and at a U-Boot prompt (IPv4 only, as its tftpboot takes no other). When
/// the server grants windows (`maxWindowSize` above 1), U-Boot is first told to ask for one
/// that large, with blocks that fit an Ethernet frame.
QString DownloadCommands(const QString& name, const QString& address, int port, int maxWindowSize);

/// The addresses a device can reach the server at under the "Bind" value `bind`, given the
/// machine's own addresses: a wildcard stands for every local address of its family. Each
/// once, loopback addresses last, so the first is the one to offer by default.
QStringList DownloadAddresses(const std::string& bind, const std::vector<std::string>& localAddresses);
