#pragma once

#include <QLineEdit>

// A read-only field whose background tells a result: green when valid, red when invalid,
// and the ordinary field background until the first verdict.
class CColouredField : public QLineEdit {
    Q_OBJECT

public:
    explicit CColouredField(QWidget* parent = nullptr);

    void SetValid();
    void SetInvalid();
    // Back to the ordinary field background, with no text: no verdict yet.
    void SetNeutral();
    bool IsValid() const noexcept { return shade == Shade::Valid; }

private:
    enum class Shade { Neutral, Valid, Invalid };

    void Apply(Shade newShade);

    Shade shade = Shade::Neutral;
};
