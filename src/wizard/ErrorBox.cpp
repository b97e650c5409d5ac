#include "wizard/ErrorBox.h"

QMessageBox::StandardButton ShowMessageBox(QMessageBox::Icon icon, const QString& text,
                                           const QString& caption,
                                           QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, caption, text, buttons);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    if (buttons.testFlag(QMessageBox::Ok)) {
        box.setDefaultButton(QMessageBox::Ok);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool ShowErrorBox(const QString& text, const QString& caption) {
    return ShowMessageBox(QMessageBox::Warning, text, caption,
                          QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}
