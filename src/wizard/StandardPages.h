#pragma once

class CWizardPage;
class QWidget;

// The page of the production wizard at each PageIndex, created with `parent`.
CWizardPage* MakeStandardPage(int index, QWidget* parent);
