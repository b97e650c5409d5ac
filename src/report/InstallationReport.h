#pragma once

#include "records/InstallationValues.h"
#include "report/ReportGenerator.h"

#include <QImage>

// The printed record of an installation: the units, the installer, the mount position with its
// picture, every calibration value and the compass swing, on letter paper.
class CInstallationReport : public CReportGenerator {
public:
    ~CInstallationReport() override = default;
};

// Fills `report` with `values` and `mountPicture` (null: no picture). Rows that would run into
// the footer continue on a further page under the same title. A compass swing, when one was
// recorded, has page 2 to itself, and the further pages of the rows follow it.
void BuildInstallationReport(CInstallationReport& report, const InstallationValues& values,
                             const QImage& mountPicture);
