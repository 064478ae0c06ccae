#include "engine/SocketError.h"

#include <cerrno>

#include <gtest/gtest.h>

TEST(SocketErrorTest, ErrnoReadsAsWindowsSocketsNumberAndText)
{
    EXPECT_EQ(SocketErrorMessage(WinsockErrorNumber(EADDRINUSE)), "Socket Error # 10048\r\nAddress already in use.");
    EXPECT_EQ(SocketErrorMessage(WinsockErrorNumber(EADDRNOTAVAIL)),
              "Socket Error # 10049\r\nCannot assign requested address.");
    EXPECT_EQ(SocketErrorMessage(WinsockErrorNumber(EMSGSIZE)), "Socket Error # 10040\r\nMessage too long.");
    EXPECT_EQ(SocketErrorMessage(10035), "Socket Error # 10035\r\nOperation would block. ");
    EXPECT_EQ(SocketErrorMessage(11001), "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(SocketErrorMessage(12345), "Socket Error # 12345\r\n");
}
