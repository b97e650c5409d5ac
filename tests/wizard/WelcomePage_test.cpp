#include "wizard/pages/WelcomePage.h"

#include "WizardTestSupport.h"
#include "records/FileNames.h"
#include "wizard/IdentificationFile.h"
#include "wizard/InstallationInfo.h"
#include "wizard/InstallationWizard.h"
#include "wizard/QtUiThread.h"

#include <QLabel>
#include <QLineEdit>

#include <filesystem>
#include <memory>

namespace {

class WelcomePageTest : public ::testing::Test {
protected:
    WelcomePageTest() : wizard(uiThread, CTimeBase()) {}

    QLineEdit* Edit(const char* name) {
        return wizard.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    void Enter(const std::string& tail, const std::string& shop, const std::string& installer) {
        Edit("tailNumberEdit")->setText(QString::fromStdString(tail));
        Edit("shopNameEdit")->setText(QString::fromStdString(shop));
        Edit("installerEdit")->setText(QString::fromStdString(installer));
    }
    std::string Entered(const char* name) { return Edit(name)->text().toStdString(); }

    const CScratchDirectory directory;
    CQtUiThread uiThread;
    CInstallationWizard wizard;
};

TEST_F(WelcomePageTest, EntriesGoToTheFileInItsLineOrderAndComeBack) {
    wizard.show();
    EXPECT_EQ(Entered("tailNumberEdit"), "") << "a fresh directory has no file";
    Enter("T1", "S1", "I1");
    wizard.PressNext();
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    EXPECT_EQ(ReadText(directory / "app_intro_info.txt"), "T1\nI1\nS1\n");
    const CInstallationInfo& info = CInstallationInfo::Instance();
    EXPECT_EQ(info.TailNumber() + info.Installer() + info.ShopName(), "T1I1S1");

    // A file from a Windows installation, read again on every activation.
    WriteText(directory / "app_intro_info.txt", "T2\r\nI2\r\nS2\r\n");
    wizard.GoToPage(kWelcomePage);
    EXPECT_EQ(Entered("tailNumberEdit"), "T2");
    EXPECT_EQ(Entered("shopNameEdit"), "S2");
    EXPECT_EQ(Entered("installerEdit"), "I2");
    SaveArtifact(wizard, "page-0-welcome-entries");

    // 200 bytes of two-byte characters: 126 bytes kept, no character cut in half.
    std::string tail;
    for (int i = 0; i < 100; ++i) {
        tail += "\xC3\xA9";
    }
    Enter(tail, "", "");
    wizard.PressNext();
    EXPECT_EQ(info.TailNumber(), tail.substr(0, 126));
    EXPECT_EQ(ReadText(directory / "app_intro_info.txt"), tail.substr(0, 126) + "\n\n\n");
}

TEST_F(WelcomePageTest, NextProceedsWhenTheFileCannotBeWritten) {
    std::filesystem::create_directory(directory / "app_intro_info.txt");
    wizard.show();
    Enter("N12345", "", "");
    wizard.PressNext();
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    EXPECT_EQ(CInstallationInfo::Instance().TailNumber(), "N12345");
}

// The files of the run go to the current folder: the page names it, and says when nothing
// can be saved there (even root cannot create files in /proc).
TEST_F(WelcomePageTest, ShowsTheFolderOfTheFilesAndWhetherItCanBeWritten) {
    const std::string scratch = CurrentDirectory();
    const std::shared_ptr<void> back(nullptr,
                                     [&](void*) { EXPECT_EQ(::chdir(scratch.c_str()), 0); });
    wizard.show();
    for (const std::string& folder : {scratch, std::string("/proc")}) {
        ASSERT_EQ(::chdir(folder.c_str()), 0);
        wizard.GoToPage(kWelcomePage);
        const std::string text =
            wizard.findChild<QLabel*>(QStringLiteral("folderLabel"))->text().toStdString();
        EXPECT_NE(text.find(folder), std::string::npos) << text;
        EXPECT_EQ(text.find("cannot be written") != std::string::npos, folder == "/proc") << text;
    }
}

TEST(IdentificationFileTest, ReadsThreeLinesWhateverTheFileLooksLike) {
    const CScratchDirectory directory;
    const std::string path = directory / "app_intro_info.txt";
    const std::string longLine(300, 'x');
    struct Case {
        std::string contents;
        CIdentificationFile::Entries expected;
    };
    const std::vector<Case> cases{
        {"T\r\nI\r\nS\r\n", {"T", "I", "S"}},
        {"T\nI\nS", {"T", "I", "S"}},
        {"T\n", {"T", "", ""}},
        {"T\n" + longLine + "\nS\n", {"T", longLine.substr(0, 255), "S"}},
    };
    for (const Case& c : cases) {
        WriteText(path, c.contents);
        CIdentificationFile::Entries read{"old", "old", "old"};
        ASSERT_TRUE(CIdentificationFile::Read(path, read)) << c.contents;
        EXPECT_EQ(read.tailNumber, c.expected.tailNumber) << c.contents;
        EXPECT_EQ(read.installer, c.expected.installer) << c.contents;
        EXPECT_EQ(read.shopName, c.expected.shopName) << c.contents;
    }
    CIdentificationFile::Entries untouched{"T", "I", "S"};
    EXPECT_FALSE(CIdentificationFile::Read(directory / "absent.txt", untouched));
    EXPECT_EQ(untouched.tailNumber, "T");
}

TEST(IdentificationFileTest, WritesThreeLinesOfLimitedEntries) {
    const CScratchDirectory directory;
    const std::string path = directory / "app_intro_info.txt";
    struct Case {
        std::string entry;
        std::string written;
    };
    std::string threeByte = "a";
    for (int i = 0; i < 66; ++i) {
        threeByte += "\xE2\x82\xAC"; // the euro sign
    }
    const std::vector<Case> cases{
        {std::string(200, 'x'), std::string(127, 'x')},
        {threeByte, threeByte.substr(0, 127)},           // ends on a boundary
        {threeByte.substr(1), threeByte.substr(1, 126)}, // would cut the 43rd sign
        {"line\r\nbreak", "line  break"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(CIdentificationFile::Write(path, {c.entry, "I", "S"}));
        EXPECT_EQ(ReadText(path), c.written + "\nI\nS\n");
    }
}

} // namespace
