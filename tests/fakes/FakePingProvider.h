// A ping provider scripted per address: each host gets the result set for it (no answer, -1, by default), and
// every call is recorded. An optional hook runs inside PingAll to act while the pings are "in flight".
#pragma once

#include "probes/PingProvider.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace lanwick::test {

class CFakePingProvider final : public IPingProvider {
public:
    struct Call {
        std::vector<std::string> hosts;
        unsigned attempts = 0;
        unsigned pause = 0;
    };

    void SetResult(const std::string& host, std::int32_t result) {
        std::lock_guard lock(m_mutex);
        m_results[host] = result;
    }
    void SetUp(const std::string& host, bool up, std::int32_t upResult = 1500) { SetResult(host, up ? upResult : -1); }
    void SetDefault(std::int32_t result) {
        std::lock_guard lock(m_mutex);
        m_default = result;
    }
    // Runs on the pinging thread, after the results are taken and before PingAll returns.
    void SetDuringPing(std::function<void()> hook) {
        std::lock_guard lock(m_mutex);
        m_duringPing = std::move(hook);
    }

    std::vector<std::int32_t> PingAll(const std::vector<std::string>& hosts, unsigned attempts,
                                      unsigned pause) override {
        std::vector<std::int32_t> results;
        std::function<void()> hook;
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back({hosts, attempts, pause});
            for (const std::string& host : hosts) {
                const auto found = m_results.find(host);
                results.push_back(found == m_results.end() ? m_default : found->second);
            }
            hook = m_duringPing;
        }
        if (hook)
            hook();
        return results;
    }

    std::vector<Call> Calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    // Every host pinged so far, in order, over all calls.
    std::vector<std::string> PingedHosts() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::string> hosts;
        for (const Call& call : m_calls)
            hosts.insert(hosts.end(), call.hosts.begin(), call.hosts.end());
        return hosts;
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::string, std::int32_t> m_results;
    std::int32_t m_default = -1;
    std::function<void()> m_duringPing;
    std::vector<Call> m_calls;
};

} // namespace lanwick::test
