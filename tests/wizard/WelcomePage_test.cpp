#include "wizard/pages/WelcomePage.h"

#include "WizardTestSupport.h"
#include "wizard/IdentificationFile.h"
#include "wizard/InstallationWizard.h"
#include "wizard/QtUiThread.h"

#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>

#include <filesystem>
#include <system_error>

namespace {

class WelcomePageTest : public ::testing::Test {
protected:
    WelcomePageTest() : wizard(uiThread, CTimeBase(), objects.Services()) { wizard.show(); }

    QLineEdit* Edit(const char* name) {
        return wizard.findChild<QLineEdit*>(QString::fromLatin1(name));
    }
    void Enter(const std::string& tail, const std::string& shop, const std::string& installer) {
        Edit("tailNumberEdit")->setText(QString::fromStdString(tail));
        Edit("shopNameEdit")->setText(QString::fromStdString(shop));
        Edit("installerEdit")->setText(QString::fromStdString(installer));
    }
    std::string Entered(const char* name) { return Edit(name)->text().toStdString(); }
    void Next() {
        wizard.PressNext();
        EXPECT_TRUE(StepsEnded(wizard));
    }
    void Welcome() {
        wizard.GoToPage(kWelcomePage);
        EXPECT_TRUE(StepsEnded(wizard));
    }

    const CScratchDirectory directory;
    CQtUiThread uiThread;
    CWizardObjects objects{uiThread, CTimeBase()};
    CInstallationWizard wizard;
};

TEST_F(WelcomePageTest, EntriesGoToTheFileInItsLineOrderAndComeBack) {
    EXPECT_EQ(Entered("tailNumberEdit"), "") << "a fresh directory has no file";
    Enter("T1", "S1", "I1");
    Next();
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    EXPECT_EQ(ReadText(directory / "app_intro_info.txt"), "T1\nI1\nS1\n");
    const CInstallationSession::Identification& info = objects.session.Entries();
    EXPECT_EQ(info.tailNumber + info.installer + info.shopName, "T1I1S1");

    // A file from a Windows installation, read again on every activation.
    WriteText(directory / "app_intro_info.txt", "T2\r\nI2\r\nS2\r\n");
    Welcome();
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
    Next();
    EXPECT_EQ(info.tailNumber, tail.substr(0, 126));
    EXPECT_EQ(ReadText(directory / "app_intro_info.txt"), tail.substr(0, 126) + "\n\n\n");
}

// A file that cannot be written is said with its reason; the entries still serve.
TEST_F(WelcomePageTest, AFileThatCannotBeWrittenIsReportedAndNextProceeds) {
    const struct {
        const char* name;
        bool directoryInTheWay;
        rlim_t sizeLimit;
        int error;
    } cases[] = {{"directory in the way", true, RLIM_INFINITY, EISDIR},
                 {"full disk", false, 0, EFBIG}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = directory / "app_intro_info.txt";
        std::filesystem::remove_all(path);
        if (c.directoryInTheWay) {
            std::filesystem::create_directory(path);
        } else {
            WriteText(path, "T0\nI0\nS0\n");
        }
        Welcome();
        Enter("N12345", "", "");
        const CBoxAnswerer answerer(QMessageBox::Ok);
        {
            const CFileSizeLimit limit(c.sizeLimit);
            Next();
        }
        EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
        EXPECT_EQ(objects.session.Entries().tailNumber, "N12345");
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].caption, "Error saving identification");
        const std::string& text = answerer.Boxes()[0].text;
        EXPECT_NE(text.find(path), std::string::npos) << text;
        EXPECT_NE(text.find(std::generic_category().message(c.error)), std::string::npos) << text;
        if (!c.directoryInTheWay) {
            EXPECT_EQ(ReadText(path), "T0\nI0\nS0\n");
        }
    }
}

// However the text arrives (typed, pasted, set through the accessibility interface), an entry
// holds no control character, so it cannot forge a line of the identification file or log.
TEST_F(WelcomePageTest, EntriesTakeNoControlCharacters) {
    QLineEdit* tail = Edit("tailNumberEdit");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(tail);
    ASSERT_NE(accessible, nullptr);
    const std::vector<std::pair<QString, std::function<void(const QString&)>>> ways = {
        {"setText", [&](const QString& text) { tail->setText(text); }},
        {"accessible", [&](const QString& text) { accessible->setText(QAccessible::Value, text); }},
        {"paste",
         [&](const QString& text) {
             tail->clear();
             QGuiApplication::clipboard()->setText(text);
             tail->paste();
         }},
    };
    for (const auto& [way, enter] : ways) {
        for (const QString& control :
             {QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\x1b"),
              QStringLiteral("\t"), QStringLiteral("\x7f"), QString(QChar(0x85)),
              QString(QChar(0x2028))}) {
            enter(QStringLiteral("N1") + control + QStringLiteral("X"));
            EXPECT_EQ(tail->text().toStdString(), "N1X")
                << way.toStdString() << " " << control.toStdString();
        }
    }
    EXPECT_EQ(tail->cursorPosition(), 3) << "the cursor stays after the paste";
}

// A file from an 8-bit code page is shown as Latin-1 and written back unchanged.
TEST_F(WelcomePageTest, EntriesThatAreNotUtf8ComeBackUnchanged) {
    const std::string path = directory / "app_intro_info.txt";
    const std::string file = "N\xD8"
                             "1\nM\xFC"
                             "ller\nS\xC3\xA9\x85\n";
    WriteText(path, file);
    Welcome();
    EXPECT_EQ(Edit("tailNumberEdit")->text(), QStringLiteral("N\u00D81"));
    EXPECT_EQ(Edit("installerEdit")->text(), QStringLiteral("M\u00FCller"));
    EXPECT_EQ(Edit("shopNameEdit")->text(), QStringLiteral("S\u00E9")); // no C1 control shown
    Next();
    EXPECT_EQ(ReadText(path), file);
    EXPECT_EQ(objects.session.Entries().installer, "M\xFC"
                                                   "ller");

    Welcome();
    Edit("tailNumberEdit")->setText(QStringLiteral("N\u00D82"));
    Next();
    EXPECT_EQ(ReadText(path), "N\xC3\x98"
                              "2\nM\xFC"
                              "ller\nS\xC3\xA9\x85\n");
}

// The page names the folder of the files and says when it cannot be written (/proc).
TEST_F(WelcomePageTest, ShowsTheFolderOfTheFilesAndWhetherItCanBeWritten) {
    const std::string scratch = CurrentDirectory();
    const std::shared_ptr<void> back(nullptr,
                                     [&](void*) { EXPECT_EQ(::chdir(scratch.c_str()), 0); });
    for (const std::string& folder : {scratch, std::string("/proc")}) {
        ASSERT_EQ(::chdir(folder.c_str()), 0);
        Welcome();
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
        {"T\x1b[0m\tT\nI\x01I\x7f\nS\xC2\x85S\xE2\x80\xA8\n", {"T[0mT", "II", "SS"}},
        {"M\xFC"
         "ller\n\xE9\n\n",
         {"M\xFC"
          "ller",
          "\xE9", ""}}, // 8-bit bytes are kept
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
        {"line\r\nbreak\x1b[2J\x7f", "linebreak[2J"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(CIdentificationFile::Write(path, {c.entry, "I", "S"}));
        EXPECT_EQ(ReadText(path), c.written + "\nI\nS\n");
    }
}

} // namespace
