#include "ui/main/DownloadCommand.h"

#include <algorithm>

#include <QRegularExpression>
#include <QUrl>

#include "app/SettingsStore.h"
#include "security/IPv6Address.h"

namespace {

bool IsIPv6(const QString& address)
{
    return IsIPv6Text(address.toStdString());
}

bool IsLoopback(const QString& address)
{
    return address.startsWith(QStringLiteral("127.")) || address == QStringLiteral("::1");
}

/// The host part of a URL: an IPv6 address in brackets, its interface's "%" escaped (RFC 6874).
QString UrlHost(const QString& address)
{
    if (!IsIPv6(address))
        return address;
    QString host = address;
    host.replace(QLatin1Char('%'), QStringLiteral("%25"));
    return QLatin1Char('[') + host + QLatin1Char(']');
}

QString UBootLines(const QString& name, const QString& address, int port, int maxWindowSize)
{
    QStringList settings;
    if (maxWindowSize > 1)
        settings << QStringLiteral("setenv tftpblocksize 1468")
                 << QStringLiteral("setenv tftpwindowsize %1").arg(maxWindowSize);
    // U-Boot asks port 69 unless told otherwise.
    if (port != 69)
        settings << QStringLiteral("setenv tftpdstp %1").arg(port);
    QString lines;
    if (!settings.isEmpty())
        lines = settings.join(QStringLiteral("; ")) + QLatin1Char('\n');
    return lines + QStringLiteral("tftpboot ${loadaddr} ") + ShellQuoted(address + QLatin1Char(':') + name) +
           QLatin1Char('\n');
}

}  // namespace

QString ShellQuoted(const QString& word)
{
    static const QRegularExpression kPlain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    if (kPlain.match(word).hasMatch())
        return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString DownloadCommands(const QString& name, const QString& address, int port, int maxWindowSize)
{
    const QString url = QStringLiteral("tftp://%1:%2/%3")
                            .arg(UrlHost(address))
                            .arg(port)
                            .arg(QString::fromLatin1(QUrl::toPercentEncoding(name)));
    QString lines = QStringLiteral("curl -o %1 %2\n").arg(ShellQuoted(name), ShellQuoted(url));
    lines += QStringLiteral("tftp %1 %2 -m binary -c get %3\n").arg(ShellQuoted(address)).arg(port).arg(ShellQuoted(name));
    if (!IsIPv6(address))
        lines += UBootLines(name, address, port, maxWindowSize);
    return lines;
}

QStringList DownloadAddresses(const std::string& bind, const std::vector<std::string>& localAddresses)
{
    QStringList addresses;
    const auto add = [&addresses](const std::string& address) {
        const QString text = QString::fromStdString(address);
        if (!text.isEmpty() && !addresses.contains(text))
            addresses << text;
    };
    for (const std::string& bound : BindAddresses(bind)) {
        const bool anyIPv4 = bound == "0.0.0.0";
        const bool anyIPv6 = bound == "::";
        if (!anyIPv4 && !anyIPv6) {
            add(bound);
            continue;
        }
        for (const std::string& local : localAddresses) {
            if (IsIPv6Text(local) == anyIPv6)
                add(local);
        }
    }
    std::stable_partition(addresses.begin(), addresses.end(), [](const QString& address) { return !IsLoopback(address); });
    return addresses;
}
