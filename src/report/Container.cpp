#include "report/Container.h"

#include <utility>

void CContainer::Add(std::unique_ptr<CDrawObject> object) {
    if (object) {
        objects.push_back(std::move(object));
    }
}

void CContainer::Draw(QPainter& painter, const CPageContext& context) const {
    for (const auto& object : objects) {
        object->Draw(painter, context);
    }
}
