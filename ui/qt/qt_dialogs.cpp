// Qt message boxes. Texts arrive as UTF-8 and are shown unchanged; the buttons carry
// captions in the program's language, whatever Qt would take from the desktop.
#include "ui/qt/qt_dialogs.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QString>

#include "ui/dialog_texts.h"
#include "ui/qt/floating_window.h"
#include "ui/qt/qt_text.h"

namespace vexal {
namespace {

QString Caption(Language language, QMessageBox::StandardButton button) {
    const ButtonCaptions captions = ButtonCaptionsIn(language);
    switch (button) {
        case QMessageBox::Yes:
            return QString::fromUtf8(captions.yes);
        case QMessageBox::No:
            return QString::fromUtf8(captions.no);
        case QMessageBox::Retry:
            return QString::fromUtf8(captions.retry);
        case QMessageBox::Cancel:
            return QString::fromUtf8(captions.cancel);
        default:
            return QStringLiteral("OK");
    }
}

int Run(Language language, QMessageBox::Icon icon, const std::string& title, const std::string& text,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton,
        QMessageBox::StandardButton escapeButton) {
    QMessageBox box(icon, ToQString(title), ToQString(text), buttons);
    for (QAbstractButton* b : box.buttons()) b->setText(Caption(language, box.standardButton(b)));
    box.setDefaultButton(defaultButton);
    box.setEscapeButton(escapeButton);
    return box.exec();
}

}  // namespace

void QtDialogs::Error(const std::string& title, const std::string& text) {
    Run(language_, QMessageBox::Critical, title, text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok);
}

void QtDialogs::Notice(const std::string& title, const std::string& text) {
    Run(language_, QMessageBox::NoIcon, title, text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtDialogs::AskRetry(const std::string& title, const std::string& text) {
    return Run(language_, QMessageBox::NoIcon, title, text, QMessageBox::Retry | QMessageBox::Cancel,
               QMessageBox::Retry, QMessageBox::Cancel) == QMessageBox::Retry;
}

bool QtDialogs::AskYesNo(const std::string& title, const std::string& text) {
    return Run(language_, QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::Yes, QMessageBox::No) == QMessageBox::Yes;
}

bool QtDialogs::AskYesNoDefaultNo(const std::string& title, const std::string& text) {
    return Run(language_, QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No,
               QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

Answer QtDialogs::AskYesNoCancel(const std::string& title, const std::string& text) {
    switch (Run(language_, QMessageBox::NoIcon, title, text,
                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes,
                QMessageBox::Cancel)) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

std::string QtDialogs::AskText(const std::string& title, const std::string& prompt) {
    QInputDialog dialog;
    dialog.setWindowTitle(ToQString(title));
    dialog.setLabelText(ToQString(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(QString());
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QString::fromUtf8(ButtonCaptionsIn(language_).cancel));
    // Message boxes hold their size and float on tiling compositors; this box is sizable.
    HoldSizeWhileAppearing(&dialog);
    if (dialog.exec() != QDialog::Accepted) return {};
    return ToUtf8(dialog.textValue());
}

std::optional<std::uint32_t> QtDialogs::AskColour(const std::string& title, std::uint32_t initial) {
    QColorDialog dialog(QColor::fromRgb(initial & 0xFFFFFFu));
    dialog.setWindowTitle(ToQString(title));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return static_cast<std::uint32_t>(dialog.currentColor().rgb()) & 0xFFFFFFu;
}

}  // namespace vexal
