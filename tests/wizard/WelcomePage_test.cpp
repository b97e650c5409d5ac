#include "WizardTestSupport.h"
#include "wizard/IdentificationFile.h"

#include <QLineEdit>

#include <filesystem>
#include <system_error>

namespace {

class WelcomePageTest : public ::testing::Test {
protected:
    WelcomePageTest() { wizard.show(); }

    QLineEdit* Edit(const char* name) {
        return wizard.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    void GoTo(int page, const std::string& tail = {}) {
        if (!tail.empty()) {
            Edit("tailNumberEdit")->setText(QString::fromStdString(tail));
        }
        if (page == kWelcomePage) {
            wizard.GoToPage(page);
        } else {
            wizard.PressNext();
        }
        EXPECT_TRUE(StepsEnded(wizard));
    }

    const CScratchDirectory directory;
    const std::string path = directory / "app_intro_info.txt";
    CQtUiThread uiThread;
    CWizardObjects objects{uiThread, CTimeBase()};
    CInstallationWizard wizard{uiThread, CTimeBase(), objects.Services()};
};

TEST_F(WelcomePageTest, EntriesGoToTheFileInItsLineOrderAndComeBack) {
    EXPECT_EQ(Edit("tailNumberEdit")->text(), "") << "a fresh directory has no file";
    Edit("shopNameEdit")->setText(QStringLiteral("S1"));
    Edit("installerEdit")->setText(QStringLiteral("I1"));
    GoTo(kConnectionPage, "T1");
    EXPECT_EQ(ReadText(path), "T1\nI1\nS1\n");
    EXPECT_EQ(objects.session.Entries().shopName, "S1");
    WriteText(path, "T2\nI2\nS2\n"); // read again on every activation
    GoTo(kWelcomePage);
    EXPECT_EQ(Edit("tailNumberEdit")->text(), "T2");
    EXPECT_EQ(Edit("installerEdit")->text(), "I2");
    SaveArtifact(wizard, "page-0-welcome-entries");
}

// A file that cannot be written is said with its path and reason; the entries still serve.
TEST_F(WelcomePageTest, AFileThatCannotBeWrittenIsReportedAndNextProceeds) {
    std::filesystem::create_directory(path);
    const CBoxAnswerer answerer(QMessageBox::Ok);
    GoTo(kConnectionPage, "N12345");
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    EXPECT_EQ(objects.session.Entries().tailNumber, "N12345");
    EXPECT_TRUE(OneBox(answerer.Boxes(), "Error saving identification", path));
    EXPECT_TRUE(OneBox(answerer.Boxes(), "Error saving identification",
                       std::generic_category().message(EISDIR)));
}

// Each data/identification/<case>.txt reads as the three lines of <case>.chk.
TEST(IdentificationFileTest, ReadsThreeLinesWhateverTheFileLooksLike) {
    int cases = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(HX410_TEST_DATA_DIR "/identification")) {
        if (entry.path().extension() == ".txt") {
            ++cases;
            CIdentificationFile::Entries read{"old", "old", "old"};
            ASSERT_TRUE(CIdentificationFile::Read(entry.path(), read)) << entry.path();
            EXPECT_EQ(read.tailNumber + "\n" + read.installer + "\n" + read.shopName + "\n",
                      ReadText(std::filesystem::path(entry.path()).replace_extension(".chk")))
                << entry.path();
        }
    }
    EXPECT_GE(cases, 6);
}

TEST(IdentificationFileTest, WritesThreeLinesOfLimitedEntries) {
    const CScratchDirectory directory;
    std::string threeByte = "a";
    for (int i = 0; i < 66; ++i) {
        threeByte += "\xE2\x82\xAC"; // the euro sign
    }
    const std::pair<std::string, std::string> cases[] = {
        {std::string(200, 'x'), std::string(127, 'x')},
        {threeByte, threeByte.substr(0, 127)},           // ends on a boundary
        {threeByte.substr(1), threeByte.substr(1, 126)}, // would cut the 43rd sign
        {"line\r\nbreak\x1b[2J\x7f", "linebreak[2J"},
    };
    for (const auto& [entry, written] : cases) {
        ASSERT_TRUE(CIdentificationFile::Write(directory / "id.txt", {entry, "I", "S"}));
        EXPECT_EQ(ReadText(directory / "id.txt"), written + "\nI\nS\n");
    }
}

} // namespace
