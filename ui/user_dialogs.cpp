#include "ui/user_dialogs.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

#include "engine/text_lines.h"

namespace kestrelin {
namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Information: break;
  }
  return QMessageBox::Information;
}

}  // namespace

MessageAnswer QtUserDialogs::ShowMessage(QWidget* owner, const std::string& title,
                                         const std::string& text, MessageIcon icon,
                                         MessageButtons buttons) {
  QMessageBox box(ToQtIcon(icon), QString::fromStdString(title),
                  QString::fromStdString(ReplaceAll(text, "\r\n", "\n")),
                  buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                      : QMessageBox::Ok,
                  owner);
  return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::string QtUserDialogs::PromptText(QWidget* owner, const std::string& title,
                                      const std::string& message) {
  bool ok = false;
  const QString text = QInputDialog::getText(owner, QString::fromStdString(title),
                                             QString::fromStdString(message), QLineEdit::Normal,
                                             QString(), &ok);
  return ok ? text.toStdString() : std::string();
}

void QtUserDialogs::OpenTarget(const std::string& target) {
  const QString text = QString::fromStdString(target);
  // A local path opens as a file; anything with a scheme as an address.
  const QUrl url = QFileInfo::exists(text) ? QUrl::fromLocalFile(text) : QUrl::fromUserInput(text);
  QDesktopServices::openUrl(url);
}

}  // namespace kestrelin
