#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/ServerState.h"
#include "core/Transfer.h"

TEST(ConnectionPlaceTest, CountsAreTheLivePlacesWhateverGivesThemBack)
{
    TServerState state;
    {
        auto first = state.TakePlace(false, 2);
        auto second = state.TakePlace(false, 2);
        ASSERT_TRUE(first && second);
        EXPECT_FALSE(state.TakePlace(false, 2));  // the limit holds
        EXPECT_TRUE(state.TakePlace(true, 1));     // uploads count apart
        EXPECT_EQ(state.DownloadCount(), 2);

        TConnectionPlace moved = std::move(*first);
        moved.Release();
        moved.Release();  // given back once only
        first.reset();    // the moved-from place holds nothing
        EXPECT_EQ(state.DownloadCount(), 1);

        TTransfer transfer(std::move(*second), tdDownload, "/srv/a", {});
        transfer.OutcomeKnown(TTransferOutcome::Succeeded);
        EXPECT_EQ(state.DownloadCount(), 0);
        transfer.GiveBackPlace();
        EXPECT_EQ(state.DownloadCount(), 0);
        EXPECT_EQ(transfer.Outcome(), TTransferOutcome::Succeeded);
    }
    EXPECT_EQ(state.DownloadCount(), 0);
    EXPECT_EQ(state.UploadCount(), 0);
}

TEST(ConnectionPlaceTest, RacingRequestsNeverPassTheLimit)
{
    TServerState state;
    constexpr int kLimit = 3;
    std::atomic<int> peak{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                if (auto place = state.TakePlace(false, kLimit)) {
                    int seen = state.DownloadCount();
                    int known = peak.load();
                    while (seen > known && !peak.compare_exchange_weak(known, seen)) {
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_LE(peak.load(), kLimit);
    EXPECT_EQ(state.DownloadCount(), 0);
}
