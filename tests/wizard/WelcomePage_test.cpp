#include "WizardTestSupport.h"
#include "wizard/IdentificationFile.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
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

// However the text arrives (typed, pasted, set through the accessibility interface), an entry
// holds no control character, so it cannot forge a line of the identification file or log.
TEST_F(WelcomePageTest, EntriesTakeNoControlCharacters) {
    QLineEdit* tail = Edit("tailNumberEdit");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(tail);
    ASSERT_NE(accessible, nullptr);
    const std::vector<std::function<void(const QString&)>> ways = {
        [&](const QString& text) { tail->setText(text); },
        [&](const QString& text) { accessible->setText(QAccessible::Value, text); },
        [&](const QString& text) {
            tail->clear();
            QGuiApplication::clipboard()->setText(text);
            tail->paste();
        },
    };
    for (const auto& enter : ways) {
        for (const QString& control :
             {QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\x1b"),
              QStringLiteral("\t"), QStringLiteral("\x7f"), QString(QChar(0x85)),
              QString(QChar(0x2028))}) {
            enter(QStringLiteral("N1") + control + QStringLiteral("X"));
            EXPECT_EQ(tail->text().toStdString(), "N1X") << &enter - ways.data();
        }
    }
    EXPECT_EQ(tail->cursorPosition(), 3) << "the cursor stays after the paste";
}

// A file from an 8-bit code page is shown as Latin-1 and written back unchanged.
TEST_F(WelcomePageTest, EntriesThatAreNotUtf8ComeBackUnchanged) {
    const std::string file = "N\xD8"
                             "1\nM\xFC"
                             "ller\nS\xC3\xA9\x85\n";
    WriteText(path, file);
    GoTo(kWelcomePage);
    EXPECT_EQ(Edit("installerEdit")->text(), QStringLiteral("M\u00FCller"));
    EXPECT_EQ(Edit("shopNameEdit")->text(), QStringLiteral("S\u00E9")); // no C1 control shown
    GoTo(kConnectionPage);
    EXPECT_EQ(ReadText(path), file);
    GoTo(kWelcomePage);
    GoTo(kConnectionPage, "N\xC3\x98"
                          "2");
    EXPECT_EQ(ReadText(path), "N\xC3\x98"
                              "2\nM\xFC"
                              "ller\nS\xC3\xA9\x85\n");
}

// Each data/identification/<case>.txt reads as the three lines of <case>.chk.
TEST(IdentificationFileTest, ReadsThreeLinesWhateverTheFileLooksLike) {
    for (const auto& entry :
         std::filesystem::directory_iterator(HX410_TEST_DATA_DIR "/identification")) {
        if (entry.path().extension() == ".txt") {
            CIdentificationFile::Entries read{"old", "old", "old"};
            ASSERT_TRUE(CIdentificationFile::Read(entry.path(), read)) << entry.path();
            EXPECT_EQ(read.tailNumber + "\n" + read.installer + "\n" + read.shopName + "\n",
                      ReadText(std::filesystem::path(entry.path()).replace_extension(".chk")))
                << entry.path();
        }
    }
    CIdentificationFile::Entries untouched{"T", "I", "S"};
    EXPECT_FALSE(CIdentificationFile::Read(HX410_TEST_DATA_DIR "/absent.txt", untouched));
    EXPECT_EQ(untouched.tailNumber, "T");
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
