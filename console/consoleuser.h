// What the console model needs from the person at the console: questions,
// messages and the choice of a file. The window answers with dialogs, tests
// with scripts. Texts are UTF-8.
#pragma once

#include <string>

namespace console {

enum class MessageKind { Information, Question, Warning, Critical };

// The answer to a Yes/No/Cancel question.
enum class Answer { Yes, No, Cancel };

class ConsoleUser {
 public:
  virtual ~ConsoleUser() = default;
  // A Yes/No question; true for Yes.
  virtual bool AskYesNo(const std::string& caption, const std::string& text, MessageKind kind) = 0;
  // A Yes/No/Cancel question; Cancel also when it was closed or left with Escape.
  virtual Answer AskYesNoCancel(const std::string& caption, const std::string& text,
                                MessageKind kind) = 0;
  // A message with a single OK button.
  virtual void ShowMessage(const std::string& caption, const std::string& text,
                           MessageKind kind) = 0;
  // A classroom file to open; "" when cancelled.
  virtual std::string ChooseFileToOpen() = 0;
  // A classroom file to save to, proposing a name and a starting folder; "" when cancelled.
  virtual std::string ChooseFileToSave(const std::string& proposedName,
                                       const std::string& initialFolder) = 0;
};

}  // namespace console
