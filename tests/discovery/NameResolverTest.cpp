// Name lookups off the caller's thread: every request answered with its key, slow lookups not holding up others.
#include "discovery/NameResolver.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

namespace lanwick {
namespace {

using namespace std::chrono_literals;

struct CAnswers {
    void Add(std::uint64_t key, const std::optional<std::string>& name) {
        std::lock_guard<std::mutex> lock(mutex);
        names[key] = name;
        changed.notify_all();
    }
    bool WaitFor(std::size_t count, std::chrono::seconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [&] { return names.size() >= count; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::map<std::uint64_t, std::optional<std::string>> names;
};

TEST(NameResolver, AnswersEveryRequestWithItsKeyAndASlowLookupDoesNotHoldUpTheOthers) {
    CAnswers answers;
    std::mutex gate;
    std::unique_lock<std::mutex> closed(gate);
    const auto resolve = [&gate](const std::string& address) -> std::optional<std::string> {
        if (address == "10.0.0.1")
            std::lock_guard<std::mutex> wait(gate);
        if (address.back() == '7')
            return std::nullopt;
        return "host-" + address;
    };
    CNameResolver resolver(
        resolve, [&](std::uint64_t k, const auto& n) { answers.Add(k, n); }, 4);
    for (int i = 1; i < 50; ++i)
        resolver.Request(static_cast<std::uint64_t>(i), "10.0.0." + std::to_string(i));
    ASSERT_TRUE(answers.WaitFor(48, 30s));
    EXPECT_EQ(answers.names.count(1), 0u);
    EXPECT_EQ(answers.names[3], std::optional<std::string>("host-10.0.0.3"));
    EXPECT_EQ(answers.names[17], std::nullopt);
    EXPECT_EQ(answers.names[49], std::optional<std::string>("host-10.0.0.49"));
    closed.unlock();
    ASSERT_TRUE(answers.WaitFor(49, 30s));
}

TEST(NameResolver, DroppedRequestsGetNoAnswerAndDestructionWaitsForLookupsUnderWay) {
    CAnswers answers;
    std::mutex gate;
    std::unique_lock<std::mutex> closed(gate);
    std::size_t dropped = 0;
    std::atomic<int> nStarted{0};
    {
        const auto resolve = [&gate, &nStarted](const std::string& address) -> std::optional<std::string> {
            ++nStarted;
            std::lock_guard<std::mutex> wait(gate);
            return address;
        };
        CNameResolver resolver(
            resolve, [&](std::uint64_t k, const auto& n) { answers.Add(k, n); }, 1);
        for (std::uint64_t i = 0; i < 5; ++i)
            resolver.Request(i, "10.0.0.1");
        EXPECT_TRUE(test::WaitUntil([&] { return nStarted.load() == 1; }, 30s));
        dropped = resolver.DropPending();
        closed.unlock();
    }
    EXPECT_EQ(dropped, 4u) << "one lookup was under way";
    EXPECT_EQ(answers.names.size(), 1u);
}

} // namespace
} // namespace lanwick
