#pragma once

#include "report/DrawLabel.h"

// A label whose text a report sets by name, and whose text may also ask for bold or italic
// type with the keywords "[%bold%]" and "[%italic%]" (taken out before the text is written).
class CDrawField : public CDrawLabel {
public:
    using CDrawLabel::CDrawLabel;

protected:
    void Resolve(TextStyle& drawStyle, QString& drawText) const override;
};
