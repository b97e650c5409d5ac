#pragma once

#include "records/CompassSwing.h"
#include "report/DrawObject.h"

// A compass swing's polar plot drawn into its rectangle, its labels in the report's type.
class CDrawSwingPlot : public CDrawObject {
public:
    CDrawSwingPlot(const CCompassSwing& swing, double toleranceDeg)
        : swing(swing), toleranceDeg(toleranceDeg) {}

    void Draw(QPainter& painter, const CPageContext& context) const override;

private:
    CCompassSwing swing;
    double toleranceDeg;
};
