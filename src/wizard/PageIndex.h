#pragma once

// Position of each page in the wizard, the index every page navigates by. The order is
// not the order of the steps: the free-field page comes before the mount page, and the
// verification page after the finish page.
enum PageIndex : int {
    kWelcomePage = 0,
    kConnectionPage = 1,
    kFreeFieldPage = 2,
    kMountPage = 3,
    kCoarsePage = 4,
    kFinePage = 5,
    kFinishPage = 6,
    kVerifyPage = 7,
    kPageCount = 8,
};
