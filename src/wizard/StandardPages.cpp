#include "wizard/StandardPages.h"

#include "wizard/PageIndex.h"
#include "wizard/pages/CoarseCalibrationPage.h"
#include "wizard/pages/ConnectionPage.h"
#include "wizard/pages/FineCalibrationPage.h"
#include "wizard/pages/FinishPage.h"
#include "wizard/pages/FreeFieldPage.h"
#include "wizard/pages/MountPage.h"
#include "wizard/pages/VerifyPage.h"
#include "wizard/pages/WelcomePage.h"

CWizardPage* MakeStandardPage(int index, QWidget* parent) {
    switch (index) {
    case kWelcomePage:
        return new CWelcomePage(parent);
    case kConnectionPage:
        return new CConnectionPage(parent);
    case kFreeFieldPage:
        return new CFreeFieldPage(parent);
    case kMountPage:
        return new CMountPage(parent);
    case kCoarsePage:
        return new CCoarseCalibrationPage(parent);
    case kFinePage:
        return new CFineCalibrationPage(parent);
    case kFinishPage:
        return new CFinishPage(parent);
    case kVerifyPage:
        return new CVerifyPage(parent);
    default:
        return nullptr;
    }
}
