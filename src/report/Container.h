#pragma once

#include "report/DrawObject.h"

#include <memory>
#include <vector>

class QPainter;

// A section of a report: drawing objects that appear together on the pages the section covers.
class CContainer {
public:
    enum class Type {
        Flowing = 0,    // the pages after those before it, as many as it needs
        FirstPage = 1,  // page 1
        SinglePage = 2, // the one page after those before it
    };

    explicit CContainer(Type type) : type(type) {}

    Type GetType() const noexcept { return type; }
    void Add(std::unique_ptr<CDrawObject> object);
    const std::vector<std::unique_ptr<CDrawObject>>& Objects() const noexcept { return objects; }
    // The number of pages a flowing section needs: one, as no object of it spans pages.
    int PagesNeeded() const noexcept { return 1; }

    void Draw(QPainter& painter, const CPageContext& context) const;

private:
    Type type;
    std::vector<std::unique_ptr<CDrawObject>> objects;
};
