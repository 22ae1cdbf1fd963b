// The writer thread's side of the history: one connection that folds passes into the tables, and the form in which
// passes wait when the writer is behind.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "history/Database.h"
#include "history/History.h"

namespace lanwick::history {

struct MachineKeyHash {
    std::size_t operator()(const MachineKey& key) const noexcept;
};

// Passes folded together while the writer is behind: per machine its counts per hour and the states it went
// through, so that no check and no change of state is lost, only the order of the machines within a pass.
class CFoldedPasses {
public:
    struct Hour {
        std::int64_t nHour = 0; // hour number
        std::int32_t nChecks = 0, nAnswered = 0;
        std::int64_t nRttMin = -1, nRttSum = 0, nRttMax = -1; // microseconds of the answered checks
    };
    struct Machine {
        std::vector<Hour> hours;         // in order, usually one or two
        std::vector<StateChange> states; // the first state seen, then every change
    };

    void Add(const PassRecord& pass);
    bool Empty() const { return m_nPasses == 0; }
    std::size_t Passes() const { return m_nPasses; }
    const std::unordered_map<MachineKey, Machine, MachineKeyHash>& Machines() const { return m_machines; }

private:
    std::unordered_map<MachineKey, Machine, MachineKeyHash> m_machines;
    std::size_t m_nPasses = 0;
};

class CHistoryStore {
public:
    // Opens or creates the database; empty when it can be written, else why not in one line naming the file. A
    // file that is not ours (another program's database, or no database) is checked before anything is written,
    // and left as it is.
    std::string Open(const std::string& strPath, std::int64_t nRetentionDays);

    // One transaction each (plus one for pruning once an hour of pass time). Empty when written, else the reason.
    std::string WritePass(const PassRecord& pass);
    std::string WriteFolded(const CFoldedPasses& folded);

private:
    // What the writer remembers of a machine between passes: 12 bytes, for 10,000 machines and more.
    struct Known {
        std::int32_t nId = 0;
        std::int32_t nLastHour = 0;
        std::int32_t nLastUp = -1; // -1 no state recorded yet
    };
    // A key as two numbers: the address and the MAC's 48 bits (0 without one, which NormaliseMac gives for all
    // zeros). Keys in any other form are not remembered but looked up in the database each time.
    struct PackedKey {
        std::uint32_t nAddress = 0;
        std::uint64_t nMac = 0;
        bool operator==(const PackedKey&) const = default;
    };
    // The machines met so far, as a sorted array of 24-byte entries: a hash map spent three times that on 10,000
    // machines. A pass's new machines wait beside it and are merged in once the pass is written.
    class CKnownMachines {
    public:
        Known* Find(const PackedKey& key);
        // Valid until the next Add.
        Known* Add(const PackedKey& key, const Known& known);
        void Settle();
        void Clear();

    private:
        struct Entry {
            std::uint64_t nMac;
            std::uint32_t nAddress;
            Known known;
            bool operator<(const Entry& other) const {
                return nMac != other.nMac ? nMac < other.nMac : nAddress < other.nAddress;
            }
        };
        std::vector<Entry> m_sorted;
        std::vector<Entry> m_added;
    };
    Known* Lookup(const PackedKey& packed, std::int64_t nHour);
    Known* Lookup(const MachineKey& key, std::int64_t nHour);
    bool AddHour(Known& machine, const CFoldedPasses::Hour& hour);
    bool AddState(Known& machine, std::int64_t nAt, bool bUp);
    bool PruneIfDue(std::int64_t nHour);
    std::string Finish(CTransaction& transaction, std::int64_t nHour);
    std::string Abandon();
    std::string Failure(const char* what) const;

    CDatabase m_db;
    std::string m_strPath;
    std::int64_t m_nRetentionDays = kDefaultRetentionDays;
    std::int64_t m_nPrunedHour = -1;
    CKnownMachines m_known;
    Known m_uncached; // the machine of the last key that could not be packed
    CStatement m_insertMachine, m_selectMachine, m_lastState, m_touchMachine, m_upsertHour, m_insertChange;
};

} // namespace lanwick::history
