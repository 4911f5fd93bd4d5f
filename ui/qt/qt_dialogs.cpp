// Qt message boxes. Texts arrive as UTF-8 and are shown unchanged.
#include "ui/qt/qt_dialogs.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QString>

namespace vexal {
namespace {
QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

void QtDialogs::Error(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, Q(title), Q(text), QMessageBox::Ok);
    box.exec();
}

void QtDialogs::Notice(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Ok);
    box.exec();
}

bool QtDialogs::AskRetry(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Retry | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Retry;
}

bool QtDialogs::AskYesNo(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, Q(title), Q(text), QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::string QtDialogs::AskText(const std::string& title, const std::string& prompt) {
    bool ok = false;
    QString answer = QInputDialog::getText(nullptr, Q(title), Q(prompt), QLineEdit::Normal, QString(), &ok);
    if (!ok) return {};
    QByteArray utf8 = answer.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

}  // namespace vexal
