#pragma once

#include "wizard/WizardPage.h"

// An interior page for a step this build does not offer: its title and a plain note,
// with only Back enabled.
class CPlaceholderPage : public CWizardPage {
    Q_OBJECT

public:
    explicit CPlaceholderPage(const QString& title, QWidget* parent = nullptr);

    Step OnSetActive() override;
};
