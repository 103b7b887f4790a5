#pragma once
// Everything the windows ask of the person in front of them, or hand to the
// desktop: message boxes, the text prompt and opening an address or file
// with its associated program. The program uses QtUserDialogs; tests pass
// one that records the questions and answers at once.
#include <string>

class QWidget;

namespace kestrelin {

enum class MessageIcon { Information, Warning, Error };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel };

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;

  // A modal message box owned by `owner`; returns the button chosen. Line
  // ends in `text` may be CR LF.
  virtual MessageAnswer ShowMessage(QWidget* owner, const std::string& title,
                                    const std::string& text, MessageIcon icon,
                                    MessageButtons buttons) = 0;

  // A modal text prompt with OK and Cancel and no default text; the typed
  // text, or an empty text for Cancel.
  virtual std::string PromptText(QWidget* owner, const std::string& title,
                                 const std::string& message) = 0;

  // Opens an address ("http://...", "mailto:...") or a local file path with
  // the desktop's handler; does not wait for it.
  virtual void OpenTarget(const std::string& target) = 0;
};

// The real dialogs: QMessageBox, QInputDialog and QDesktopServices.
class QtUserDialogs : public UserDialogs {
 public:
  MessageAnswer ShowMessage(QWidget* owner, const std::string& title, const std::string& text,
                            MessageIcon icon, MessageButtons buttons) override;
  std::string PromptText(QWidget* owner, const std::string& title,
                         const std::string& message) override;
  void OpenTarget(const std::string& target) override;
};

}  // namespace kestrelin
