#include "report/DrawObject.h"

void CDrawObject::SetRect(double left, double top, double right, double bottom) {
    rect = InchRect{top, left, right, bottom};
}
