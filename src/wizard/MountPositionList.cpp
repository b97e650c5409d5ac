#include "wizard/MountPositionList.h"

#include "wizard/MountArtwork.h"

#include <algorithm>

namespace {

constexpr int kFirstId = 8;
constexpr int kLastId = 11;

} // namespace

CMountPositionList::CMountPositionList() {
    for (int id = kFirstId; id <= kLastId; ++id) {
        positions.push_back(
            {id, QStringLiteral("Mount Position %1").arg(id), MountArtwork::MountPicture(id)});
    }
}

const MountPosition* CMountPositionList::Find(int id) const {
    const auto it = std::find_if(positions.begin(), positions.end(),
                                 [id](const MountPosition& position) { return position.id == id; });
    return it != positions.end() ? &*it : nullptr;
}
