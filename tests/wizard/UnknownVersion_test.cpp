#include "SimWizardFixture.h"

namespace {

using UnknownVersionTest = SimWizardTest;

// Its own program: the unknown version is reported once in a process's life.
TEST_F(UnknownVersionTest, AnUnknownHx410VersionEndsTheWizardAfterTheBox) {
    StartSim({"--ahrs-version", "X9.99"});
    wizard.GoToPage(kConnectionPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_TRUE(RunEventsUntil([&] { return !wizard.isVisible(); }));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, "Error - Unknown HX410 Version");
    EXPECT_EQ(Boxes()[0].text,
              "Unknown HX410 Version. Program will CANCEL. Contact Korvan Tech Support!");
    EXPECT_EQ(wizard.result(), CInstallationWizard::kResultCancelled);
    EXPECT_EQ(State().GetAhrsVersion(), "X9.99") << "the unit's version had arrived";
}

} // namespace
