#pragma once

#include <QImage>
#include <QString>

#include <vector>

// One mount position of the HX410: the id sent to the unit and reported by it, its label and
// its picture.
struct MountPosition {
    int id = 0;
    QString label;
    QImage picture;
};

// The mount positions the HX410 can be installed in, in the order they are offered, with
// their pictures (drawn when the list is made: a QGuiApplication must exist).
class CMountPositionList {
public:
    CMountPositionList();

    const std::vector<MountPosition>& Positions() const { return positions; }
    // The position with `id`, or nullptr when there is none.
    const MountPosition* Find(int id) const;

private:
    std::vector<MountPosition> positions;
};
