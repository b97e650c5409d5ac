#include "SimulatedLinkSuite.h"

namespace {

using UnknownVersionTest = SimPagesTest;

// Its own program: the unknown version is reported once in a process's life.
TEST_F(UnknownVersionTest, AnUnknownHx410VersionEndsTheWizardAfterTheBox) {
    const CBoxAnswerer answerer(QMessageBox::Ok);
    StartUnit({"--ahrs-version", "X9.99"});
    GoTo(kConnectionPage);
    ASSERT_TRUE(RunEventsUntil([&] { return !wizard.isVisible(); }));
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Error - Unknown HX410 Version");
    EXPECT_EQ(wizard.result(), CInstallationWizard::kResultCancelled);
    EXPECT_EQ(State().GetAhrsVersion(), "X9.99") << "the unit's version had arrived";
}

} // namespace
