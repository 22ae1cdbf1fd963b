// Files the writer must not write into: another program's database, a file that is no database, a newer schema
// and a damaged database each pause the history with one message, leave the file as it was, and Record goes on
// returning. The device book's tables are welcome.
#include "history/Database.h"
#include "history/History.h"
#include "history/HistoryTestFiles.h"

#include <gtest/gtest.h>

#include <fstream>

namespace lanwick::test {
namespace {

using history::CDatabase;
using history::CHistoryWriter;

void MakeDatabase(const std::string& strFile, const std::string& strSql) {
    CDatabase db;
    ASSERT_TRUE(db.Open(strFile));
    ASSERT_TRUE(db.Exec(strSql)) << db.LastError();
}

// A history of a few thousand machines, then every page after the schema's overwritten.
void MakeDamaged(const std::string& strFile) {
    {
        CHistoryWriter writer(strFile);
        std::vector<std::pair<history::MachineKey, std::int32_t>> checks;
        for (int i = 0; i < 3000; ++i)
            checks.push_back({Key("198.18." + std::to_string(i / 250) + "." + std::to_string(i % 250)), 100});
        writer.Record(Pass(RecentHour(), checks));
        writer.Flush();
        ASSERT_EQ(writer.PauseReason(), "");
    }
    std::fstream file(strFile, std::ios::in | std::ios::out | std::ios::binary);
    file.seekg(0, std::ios::end);
    const auto size = static_cast<std::streamoff>(file.tellg());
    ASSERT_GT(size, 8 * 4096);
    file.seekp(4096);
    const std::string garbage(static_cast<std::size_t>(size - 4096), '\xa5');
    file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
}

struct Case {
    const char* what;
    void (*make)(const std::string& strFile);
    const char* reason; // a part of the pause message; null: no pause
    bool bUnchanged;    // the file's bytes must stay as they were
};

TEST(HistoryPause, AFileThatIsNotOursPausesOnceAndIsLeftAsItWas) {
    const Case table[] = {
        {"another program's database",
         [](const std::string& f) { MakeDatabase(f, "CREATE TABLE accounts(id INTEGER, owner TEXT)"); },
         "holds the table \"accounts\" of another program", true},
        {"no database at all", [](const std::string& f) { WriteFile(f, std::string(5000, 'x')); },
         "file is not a database", true},
        {"a newer history", [](const std::string& f) { MakeDatabase(f, "PRAGMA user_version = 7"); }, "newer Lanwick",
         true},
        {"a damaged history", MakeDamaged, "malformed", false},
        {"the device book's own file",
         [](const std::string& f) { MakeDatabase(f, "CREATE TABLE device_seen(mac TEXT)"); }, nullptr, false},
        {"an empty file", [](const std::string& f) { WriteFile(f, ""); }, nullptr, false},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.what);
        CTempDir dir;
        const std::string strFile = dir.File("h.db");
        c.make(strFile);
        const std::string before = dir.Read("h.db");
        int nCalls = 0;
        std::string strMessage;
        {
            CHistoryWriter writer(strFile);
            writer.OnPause([&](const std::string& strReason) {
                ++nCalls;
                strMessage = strReason;
            });
            for (int i = 0; i < 5; ++i) {
                writer.Record(Pass(RecentHour() + i * 60, {{Key("198.18.0.10"), 100}, {Key("198.18.0.11"), -1}}));
                writer.Flush();
            }
            writer.Record(Pass(RecentHour() + 600, {{Key("198.18.0.10"), 100}}));
            EXPECT_EQ(writer.PauseReason(), c.reason ? strMessage : "");
        }
        if (!c.reason) {
            EXPECT_EQ(nCalls, 0) << strMessage;
            continue;
        }
        EXPECT_EQ(nCalls, 1);
        EXPECT_NE(strMessage.find(c.reason), std::string::npos) << strMessage;
        EXPECT_NE(strMessage.find(strFile), std::string::npos) << strMessage;
        EXPECT_EQ(strMessage.find('\n'), std::string::npos) << strMessage;
        if (c.bUnchanged) {
            EXPECT_TRUE(dir.Read("h.db") == before) << "the file was altered";
        }
    }
}

TEST(HistoryPause, ACallbackSetAfterThePauseIsStillTold) {
    CTempDir dir;
    CHistoryWriter writer(dir.File("missing/h.db"));
    writer.Flush();
    ASSERT_NE(writer.PauseReason(), "");
    int nCalls = 0;
    writer.OnPause([&](const std::string&) { ++nCalls; });
    writer.Record(Pass(RecentHour(), {{Key("198.18.0.10"), 100}}));
    EXPECT_EQ(nCalls, 1);
}

} // namespace
} // namespace lanwick::test
