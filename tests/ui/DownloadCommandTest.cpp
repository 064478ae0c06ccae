#include "ui/main/DownloadCommand.h"

#include <QTest>

/// The lines "Copy Download Command" puts on the clipboard.
class DownloadCommandTest : public QObject {
    Q_OBJECT

private slots:
    void commandsForEachClient_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("lines");
        QTest::newRow("plain name, windows granted")
            << "boot.bin" << "192.168.1.5" << 69 << 16
            << "curl -o boot.bin tftp://192.168.1.5:69/boot.bin\n"
               "tftp 192.168.1.5 69 -m binary -c get boot.bin\n"
               "setenv tftpblocksize 1468; setenv tftpwindowsize 16\n"
               "tftpboot ${loadaddr} 192.168.1.5:boot.bin\n";
        QTest::newRow("no windows, another port")
            << "u-boot.img" << "10.0.0.1" << 6969 << 1
            << "curl -o u-boot.img tftp://10.0.0.1:6969/u-boot.img\n"
               "tftp 10.0.0.1 6969 -m binary -c get u-boot.img\n"
               "setenv tftpdstp 6969\n"
               "tftpboot ${loadaddr} 10.0.0.1:u-boot.img\n";
        QTest::newRow("window as granted")
            << "a.bin" << "10.0.0.1" << 69 << 4
            << "curl -o a.bin tftp://10.0.0.1:69/a.bin\n"
               "tftp 10.0.0.1 69 -m binary -c get a.bin\n"
               "setenv tftpblocksize 1468; setenv tftpwindowsize 4\n"
               "tftpboot ${loadaddr} 10.0.0.1:a.bin\n";
        QTest::newRow("spaces and shell characters")
            << "my image's $HOME;.bin" << "10.0.0.1" << 69 << 1
            << "curl -o 'my image'\\''s $HOME;.bin' tftp://10.0.0.1:69/my%20image%27s%20%24HOME%3B.bin\n"
               "tftp 10.0.0.1 69 -m binary -c get 'my image'\\''s $HOME;.bin'\n"
               "tftpboot ${loadaddr} '10.0.0.1:my image'\\''s $HOME;.bin'\n";
        QTest::newRow("IPv6 in brackets for curl, no U-Boot line")
            << "boot.efi" << "2001:db8::5" << 69 << 16
            << "curl -o boot.efi 'tftp://[2001:db8::5]:69/boot.efi'\n"
               "tftp 2001:db8::5 69 -m binary -c get boot.efi\n";
        QTest::newRow("link-local IPv6 keeps its interface")
            << "boot.efi" << "fe80::1%eth0" << 69 << 16
            << "curl -o boot.efi 'tftp://[fe80::1%25eth0]:69/boot.efi'\n"
               "tftp fe80::1%eth0 69 -m binary -c get boot.efi\n";
    }

    void commandsForEachClient()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(int, window);
        QFETCH(QString, lines);
        QCOMPARE(DownloadCommands(name, address, port, window), lines);
    }

    void addressesOfferNonLoopbackFirst_data()
    {
        QTest::addColumn<QString>("bind");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("all") << "All" << QStringList{"192.168.1.5", "fe80::1%eth0", "127.0.0.1", "::1"};
        QTest::newRow("bound addresses") << "127.0.0.1;10.0.0.2" << QStringList{"10.0.0.2", "127.0.0.1"};
        QTest::newRow("IPv4 wildcard") << "0.0.0.0" << QStringList{"192.168.1.5", "127.0.0.1"};
        QTest::newRow("IPv6 wildcard and a repeat") << "::;::1" << QStringList{"fe80::1%eth0", "::1"};
    }

    void addressesOfferNonLoopbackFirst()
    {
        QFETCH(QString, bind);
        QFETCH(QStringList, addresses);
        QCOMPARE(DownloadAddresses(bind.toStdString(), {"127.0.0.1", "192.168.1.5", "::1", "fe80::1%eth0"}),
                 addresses);
    }
};

QTEST_GUILESS_MAIN(DownloadCommandTest)
#include "DownloadCommandTest.moc"
