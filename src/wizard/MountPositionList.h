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

// The mount positions the HX410 can be installed in, in the order they are offered, built on
// first use and kept for the life of the process.
class CMountPositionList {
public:
    static const CMountPositionList& Instance();

    const std::vector<MountPosition>& Positions() const { return positions; }
    // The position with `id`, or nullptr when there is none.
    const MountPosition* Find(int id) const;

private:
    CMountPositionList();

    std::vector<MountPosition> positions;
};
