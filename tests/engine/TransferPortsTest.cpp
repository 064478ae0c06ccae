#include "engine/TransferPorts.h"

#include <optional>

#include <gtest/gtest.h>

#include "engine/NetException.h"
#include "tests/support/RawClient.h"

TEST(TransferPortsTest, OnlyARangeAboveTheSystemPortsIsUsed)
{
    struct Row { int low; int high; bool valid; };
    for (const Row row : {Row{0, 0, false}, Row{1024, 1024, true}, Row{2000, 65535, true}, Row{1023, 2000, false},
                          Row{3000, 2000, false}, Row{2000, 65536, false}, Row{0, 5000, false},
                          Row{5000, 0, false}, Row{-1, 5000, false}}) {
        EXPECT_EQ(TransferPortRangeValid(row.low, row.high), row.valid) << row.low << ".." << row.high;
    }
}

TEST(TransferPortsTest, WithoutARangeTheSystemPicksAtFirstUse)
{
    TTransferPorts ports;
    ports.SetRange(5000, 4000);
    EXPECT_FALSE(ports.Reserve().HandleAllocated());
}

TEST(TransferPortsTest, PortsAreHandedOutInRotationUntilNoneIsFree)
{
    const int low = FreePortRange(3);
    TTransferPorts ports;
    ports.SetRange(low, low + 2);
    std::optional<TSocketHandle> first(ports.Reserve());
    std::optional<TSocketHandle> second(ports.Reserve());
    std::optional<TSocketHandle> third(ports.Reserve());
    EXPECT_EQ(first->Port(), low);
    EXPECT_EQ(second->Port(), low + 1);
    EXPECT_EQ(third->Port(), low + 2);
    EXPECT_THROW(ports.Reserve(), ENoFreeTransferPort);

    second.reset();
    EXPECT_EQ(ports.Reserve().Port(), low + 1);
    // The port after the last one handed out comes first, wrapping at the top.
    first.reset();
    third.reset();
    EXPECT_EQ(ports.Reserve().Port(), low + 2);
    EXPECT_EQ(ports.Reserve().Port(), low);
}

TEST(TransferPortsTest, PortsTakenByOtherProgramsAreSkipped)
{
    const int low = FreePortRange(2);
    TTransferPorts ports;
    ports.SetRange(low, low + 1);
    TSocketHandle other;
    other.SetPort(low);
    other.Bind();
    EXPECT_EQ(ports.Reserve().Port(), low + 1);
}

TEST(TransferPortsTest, MovedSocketKeepsItsPortAndTheOriginalLetsGo)
{
    const int low = FreePortRange(1);
    TTransferPorts ports;
    ports.SetRange(low, low);
    TSocketHandle reserved = ports.Reserve();
    TSocketHandle taken(std::move(reserved));
    EXPECT_FALSE(reserved.HandleAllocated());
    EXPECT_TRUE(taken.HandleAllocated());
    EXPECT_EQ(taken.Port(), low);
    EXPECT_THROW(ports.Reserve(), ENoFreeTransferPort);
}
