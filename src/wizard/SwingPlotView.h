#pragma once

#include "records/CompassSwing.h"

#include <QWidget>

// The compass swing at a glance: deviation against heading on a small polar plot, the
// tolerance as a band (the report draws the same plot).
class CSwingPlotView : public QWidget {
    Q_OBJECT

public:
    explicit CSwingPlotView(QWidget* parent = nullptr);

    void Show(const CCompassSwing& swing, double toleranceDeg);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CCompassSwing swing;
    double toleranceDeg = CCompassSwing::kDefaultToleranceDeg;
};
