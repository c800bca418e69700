#include "engine/comm_thread.h"

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <sstream>

#include "fake_protocols.h"
#include "support/fake_clock.h"
#include "support/recording_ui.h"
#include "support/sandbox.h"

namespace quillet {
namespace {

using testing::FakeClock;
using testing::FakeProcessor;
using testing::FakeProtocols;
using testing::RecordingUi;

class CommThreadTest : public testing::FakeEngineTest {
 protected:
  void SetUp() override {
    FakeEngineTest::SetUp();
    Configure(0, "alice").check_interval_minutes = 1;
  }

  std::string SessionLogText() {
    std::ifstream in(dirs().current + "/quillet_session.log", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(CommThreadTest, RunsTheCommandOnTheWorkerAndGoesIdle) {
  protocols->boxes[0].messages = {{"a", "hello"}};
  CommThread worker(*engine);
  ASSERT_TRUE(worker.Launch(kCommandStartForwarding));
  worker.WaitIdle();
  EXPECT_EQ(processor->seen, (std::vector<std::string>{"hello"}));
  EXPECT_EQ(engine->working, 0);
  EXPECT_EQ(engine->busy, 0);
  EXPECT_EQ(engine->started, 1);
  EXPECT_TRUE(Exists(engine->paths.UidlStorePath()));
  // And again: the worker takes any number of commands, one at a time.
  protocols->boxes[0].messages.push_back({"b", "again"});
  ASSERT_TRUE(worker.Launch(kCommandTick));
  worker.WaitIdle();
  EXPECT_EQ(processor->seen, (std::vector<std::string>{"hello", "again"}));
}

TEST_F(CommThreadTest, CommandDuringAPassIsDropped) {
  protocols->boxes[0].messages = {{"a", "slow"}};
  std::promise<void> inside, release;
  std::shared_future<void> released = release.get_future().share();
  processor->hook = [&] {
    inside.set_value();
    released.wait();
  };
  CommThread worker(*engine);
  ASSERT_TRUE(worker.Launch(kCommandStartForwarding));
  inside.get_future().wait();
  EXPECT_EQ(engine->working, 1);
  EXPECT_FALSE(worker.Launch(kCommandTick));
  EXPECT_FALSE(worker.Launch(kCommandStartForwarding));
  release.set_value();
  worker.WaitIdle();
  processor->hook = nullptr;
  EXPECT_EQ(processor->seen.size(), 1u);
  EXPECT_EQ(protocols->CallsStartingWith("pop-open").size(), 2u);  // check plus one pass only
}

TEST_F(CommThreadTest, CommandWhileBusyIsRejectedWithATraceLine) {
  engine->settings.global.debug_logging = 1;
  clock.SetLocalTime(2026, 12, 10, 8, 5, 9);
  engine->busy = 1;  // a run that has not let go of the engine
  CommThread worker(*engine);
  ASSERT_TRUE(worker.Launch(kCommandStartForwarding));
  worker.WaitIdle();
  EXPECT_TRUE(protocols->calls.empty());
  EXPECT_EQ(SessionLogText(),
            "****: 08:05:09 ERROR REPORT: Launching thread rejected by semaphore.\r\n");
  engine->busy = 0;
  ASSERT_TRUE(worker.Launch(kCommandStartForwarding));
  worker.WaitIdle();
  EXPECT_FALSE(protocols->calls.empty());
}

TEST_F(CommThreadTest, WithoutDebugLoggingNoSessionLogIsCreated) {
  engine->busy = 1;
  CommThread worker(*engine);
  worker.Launch(kCommandTick);
  worker.WaitIdle();
  EXPECT_FALSE(Exists(dirs().current + "/quillet_session.log"));
}

}  // namespace
}  // namespace quillet
