#include "engine/SessionRegistry.h"

#include <system_error>

#include "engine/NetException.h"
#include "engine/TFTPServerThread.h"
#include "tests/engine/EngineFixture.h"

using namespace std::string_literals;

class SessionRegistryTest : public EngineTest {
protected:
    /// A download session of `server_` that nobody has started.
    std::unique_ptr<TTFTPServerThread> Session()
    {
        return std::make_unique<TTFTPServerSendFileThread>(*server_, tmOctet, TPeerInfo{"127.0.0.1", 9},
                                                           std::make_unique<TStringStream>("x"), true, 0,
                                                           -1, false, 0, 0);
    }

};

TEST_F(SessionRegistryTest, SessionThatCannotStartIsHandedBackUncounted)
{
    TSessionRegistry registry;
    registry.SetStarter([](TTFTPServerThread&) {
        throw std::system_error(EAGAIN, std::generic_category(), "cannot start a thread");
    });
    auto session = Session();
    TTFTPServerThread* const handed = session.get();
    EXPECT_THROW(registry.Start(session), std::system_error);
    EXPECT_EQ(session.get(), handed);
    EXPECT_NE(session->TakeStream(), nullptr);  // still there for the completion report
    EXPECT_EQ(registry.LiveCount(), 0u);
}

TEST_F(SessionRegistryTest, StartAfterStopAllIsRefused)
{
    TSessionRegistry registry;
    registry.StopAll();
    auto session = Session();
    TTFTPServerThread* const handed = session.get();
    try {
        registry.Start(session);
        ADD_FAILURE() << "started";
    } catch (const ENetException& refusal) {
        EXPECT_STREQ(refusal.what(), "Server is shutting down");
    }
    EXPECT_EQ(session.get(), handed);
    EXPECT_EQ(registry.LiveCount(), 0u);
}

TEST_F(SessionRegistryTest, ClosingStopsAndJoinsEveryRunningSession)
{
    files_["f"] = std::string(4096, 'f');
    Activate();
    std::vector<std::unique_ptr<TRawClient>> clients;
    for (int i = 0; i < 3; ++i) {
        // A long reply wait: the sessions end only because they are told to.
        auto& client = *clients.emplace_back(std::make_unique<TRawClient>());
        client.SendTo(port_, Request(1, "f", "octet", {{"timeout", "255"}}));
        ASSERT_TRUE(client.Receive().has_value());
    }
    ASSERT_EQ(server_->SessionCount(), 3u);
    server_.reset();  // StopAll returns once every session has ended
    EXPECT_TRUE(Completions().empty());   // their reports dropped
}
