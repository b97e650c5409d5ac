#include "wizard/ErrorBox.h"

#include "records/PlainText.h"

#include <system_error>

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

void ShowWriteFailureBox(const QString& what, const std::string& path, int error,
                         const QString& consequence, const QString& caption) {
    const QString reason = error != 0
                               ? QString::fromStdString(std::generic_category().message(error))
                               : QStringLiteral("The file could not be written completely");
    ShowMessageBox(QMessageBox::Warning,
                   QStringLiteral("%1\n%2\n\nReason: %3.\n\n%4")
                       .arg(what, QString::fromStdString(Utf8FromBytes(path)), reason, consequence),
                   caption, QMessageBox::Ok);
}
