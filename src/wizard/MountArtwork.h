#pragma once

#include <QImage>

// The pictures of the mount positions: the HX410 seen from above in each of its four mounts,
// with its connector and the arrow on its lid, under the aircraft's forward direction.
namespace MountArtwork {

constexpr int kPictureSide = 174;

// The picture of mount position `id` (8 to 11): kPictureSide square, 24-bit colour.
QImage MountPicture(int id);

} // namespace MountArtwork
