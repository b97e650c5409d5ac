#include "records/SettingsStore.h"

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "CaseTable.h"
#include "TempDir.h"

namespace {

std::string Document(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<appSettings>\n" + body + "</appSettings>\n";
}

TEST(SettingsStoreTest, ValueText) {
    for (const auto& c : CaseTable("setting-values.txt")) {
        EXPECT_EQ(ParseSettingValue(c[0]), std::stoi(c[1])) << '"' << c[0] << '"';
    }
}

TEST(SettingsStoreTest, Load) {
    CTempDir dir;
    const std::string path = dir / "s.xml";
    for (const auto& c : CaseTable("settings-files.txt")) {
        WriteText(path, c[0]);
        std::string entries;
        for (const auto& [key, value] : CSettingsStore(path).Entries()) {
            entries += (entries.empty() ? "" : ", ") + key + '=' + std::to_string(value);
        }
        EXPECT_EQ(entries.empty() ? "nothing" : entries, c[1]) << c[0];
    }
}

// Foreign keys are kept, all are written back in byte order, and any key survives a reload.
TEST(SettingsStoreTest, KeysAreWrittenBackInByteOrderAndSurviveALoad) {
    CTempDir dir;
    const std::string path = dir / "s.xml";
    WriteText(path,
              Document("<setting key=\"b\" value=\"2\"/><setting key=\"\xC3\xA9\" value=\"5\"/>"
                       "<setting key=\"a\" value=\"1\"/><setting key=\"B\" value=\"3\"/>"));
    CSettingsStore store(path);
    store.Set("ComPort", 4);
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(ReadText(path), Document("    <setting key=\"B\" value=\"3\"/>\n"
                                       "    <setting key=\"ComPort\" value=\"4\"/>\n"
                                       "    <setting key=\"a\" value=\"1\"/>\n"
                                       "    <setting key=\"b\" value=\"2\"/>\n"
                                       "    <setting key=\"\xC3\xA9\" value=\"5\"/>\n"));
    for (const char* key : {"p\rq", "p\nq", "a\tb", "<&\"'>", ""}) {
        store.Set(key, 7);
    }
    ASSERT_TRUE(store.Save());
    EXPECT_EQ(CSettingsStore(path).Entries(), store.Entries());
}

// Values keep their low eight bits; only a save writes, and a failed one is reported.
TEST(SettingsStoreTest, SaveCreatesTheFileAndReportsFailure) {
    CTempDir dir;
    const std::string path = dir / "a/b/appSettings.xml";
    {
        CSettingsStore store(path, true); // saved when destroyed
        EXPECT_EQ(store.Get("ComPort", 7), 7);
        store.Set("ComPort", 260);
        store.Set("Other", -1);
        EXPECT_TRUE(dir.Names().empty());
    }
    EXPECT_EQ(ReadText(path), Document("    <setting key=\"ComPort\" value=\"4\"/>\n"
                                       "    <setting key=\"Other\" value=\"255\"/>\n"));
    EXPECT_EQ(dir.Names(), std::set<std::string>{"a"});
    WriteText(dir / "file", "x");
    CSettingsStore blocked(dir / "file/appSettings.xml");
    EXPECT_FALSE(blocked.Save());
    EXPECT_EQ(ReadText(dir / "file"), "x");
    EXPECT_FALSE(CSettingsStore("").Save());
}

} // namespace
