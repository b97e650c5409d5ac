// The finish page against the simulated unit: the summary, the printed report and the
// installation log keep the values of the page's activation, and a log that cannot be
// written is reported.

#include "SimPagesFixture.h"
#include "records/TempDir.h"
#include "wizard/IdentificationFile.h"
#include "wizard/pages/FinishPage.h"

#include <QLabel>
#include <QPrinter>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

const std::array<double, 4> kMcc{1.25, -0.5, 0.75, -2.0}; // N, S, E, W

std::string FileText(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The text of a PDF, empty when pdftotext is missing.
std::string PdfText(const std::string& path) {
    std::string text;
    if (FILE* pipe = ::popen(("pdftotext -layout '" + path + "' - 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            text.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return text;
}

} // namespace

class FinishPageTest : public SimPagesTest {
protected:
    // On the finish page of a unit holding the compass corrections kMcc and a calibration's
    // measurement tables.
    CSimPeer& Open() {
        CInstallationInfo::Instance().SetInstaller("A. Tech");
        CInstallationInfo::Instance().SetShopName("Korvan Avionics");
        CSimPeer& sim = Connect();
        for (int heading = 0; heading < 4; ++heading) {
            EXPECT_TRUE(CAhrsLink::Instance().SendMcc(heading, kMcc[heading]));
            State().SetRawMagX(heading, 1000.0 + heading);
        }
        EXPECT_TRUE(RunEventsUntil([] { return State().GetMcc(3) == kMcc[3]; }));
        EXPECT_TRUE(CIdentificationFile::Write(CIdentificationFile::Path(),
                                               {"N410KT", "A. Tech", "Korvan Avionics"}));
        wizard.GoToPage(kFinishPage);
        Page().SetPrinterChooser([this](QPrinter& printer, QWidget*) {
            ++prints;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(ReportPath()));
            return true;
        });
        Page().SetLogFileChooser([this](const QString& proposed, QWidget*) {
            proposedNames.push_back(proposed.toStdString());
            return QString::fromStdString(logPath);
        });
        return sim;
    }
    CFinishPage& Page() { return *static_cast<CFinishPage*>(wizard.Page(kFinishPage)); }
    std::string ReportPath() const { return temp.Path() + "/report.pdf"; }

    const CTempDir temp;
    std::string logPath = temp.Path() + "/installation.log";
    std::vector<std::string> proposedNames;
    int prints = 0;
};

TEST_F(FinishPageTest, LogAndReportKeepTheValuesOfTheActivationWhenTheLinkIsLost) {
    CSimPeer& sim = Open();
    const std::string summary = Find<QLabel>("summaryText")->text().toStdString();
    EXPECT_NE(summary.find("North Compass Corr:\t1.25\nSouth Compass Corr:\t-0.50\n"),
              std::string::npos)
        << summary;
    EXPECT_EQ(summary.rfind("Mount direction:\t\tMount Position 9\n", 0), 0u) << summary;
    SaveArtifact(wizard, "page-6-finish");

    // The technician unplugs the laptop to print in the office: the record is reset.
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([] { return !CAhrsLink::Instance().IsLinkAlive(); }));
    ASSERT_EQ(State().GetMcc(0), 0.0);

    Find<QPushButton>("printButton")->click();
    EXPECT_EQ(prints, 1);
    const std::string report = PdfText(ReportPath());
    if (report.empty()) {
        ADD_FAILURE() << "no text read from the report (is pdftotext installed?)";
    } else {
        EXPECT_NE(report.find("Compass Correction West:"), std::string::npos);
        EXPECT_NE(report.find("-2.00"), std::string::npos) << report;
        EXPECT_NE(report.find("1003.00"), std::string::npos) << report;
    }

    wizard.PressNext();
    ASSERT_EQ(wizard.CurrentPage(), kVerifyPage);
    ASSERT_EQ(proposedNames.size(), 1u);
    EXPECT_EQ(proposedNames[0].rfind("Korvan HX410 AHRS Installation Report - N410KT ", 0), 0u);
    const std::string log = FileText(logPath);
    for (const char* line :
         {"Compass Correction North: 1.25\n", "Compass Correction West: -2.00\n",
          "Raw X Sensor East: 1002.00\n", "Mount Position: Mount Position 9\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line;
    }
    std::ofstream(std::string(HX410_ARTIFACTS_DIR) + "/installation.log") << log;

    // Back from the verification page, still unplugged: the log saved again is the same.
    wizard.PressBack();
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    wizard.PressNext();
    const std::string second = FileText(logPath).substr(log.size());
    const auto afterDate = [](const std::string& text) {
        return text.substr(text.find("HX410 Serial"));
    };
    EXPECT_EQ(afterDate(second), afterDate(log));

    // The next aircraft: same installer and shop, a new tail number.
    CIdentificationFile::Entries entries;
    ASSERT_TRUE(CIdentificationFile::Read(CIdentificationFile::Path(), entries));
    EXPECT_EQ(entries.tailNumber, "");
    EXPECT_EQ(entries.installer, "A. Tech");
    EXPECT_EQ(entries.shopName, "Korvan Avionics");
}

TEST_F(FinishPageTest, ALogThatCannotBeWrittenIsReportedAndCanBeSavedAgain) {
    Open();
    logPath = temp.Path() + "/no-such-folder/installation.log";
    {
        CBoxAnswerer answerer(QMessageBox::Ok);
        wizard.PressNext();
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].caption, "Error saving installation log");
        EXPECT_NE(answerer.Boxes()[0].text.find(logPath), std::string::npos);
        EXPECT_NE(answerer.Boxes()[0].text.find(std::generic_category().message(ENOENT)),
                  std::string::npos);
    }
    ASSERT_EQ(wizard.CurrentPage(), kVerifyPage);

    wizard.PressBack();
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    logPath = temp.Path() + "/installation.log";
    wizard.PressNext();
    ASSERT_EQ(wizard.CurrentPage(), kVerifyPage);
    EXPECT_NE(FileText(logPath).find("Compass Correction South: -0.50\n"), std::string::npos);

    // Cancelling the save dialog is silent.
    wizard.PressBack();
    logPath.clear();
    const CBoxAnswerer answerer(QMessageBox::Ok);
    wizard.PressNext();
    EXPECT_EQ(wizard.CurrentPage(), kVerifyPage);
    EXPECT_TRUE(answerer.Boxes().empty());
}
