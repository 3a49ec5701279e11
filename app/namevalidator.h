// Keeps out of a student name what a classroom file (Windows-1251) cannot
// hold, and NUL, as it is typed or pasted, and says which character was refused.
#pragma once

#include <QValidator>

#include "config/cp1251.h"

class NameValidator : public QValidator {
  Q_OBJECT
 public:
  using QValidator::QValidator;

  State validate(QString& input, int&) const override {
    // A NUL would end the name in the file.
    if (input.contains(QChar(u'\0'))) {
      emit refused(QStringLiteral("NUL"));
      return Invalid;
    }
    const std::string utf8 = input.toStdString();
    const std::optional<cp1251::Unrepresentable> bad = cp1251::FirstUnrepresentable(utf8);
    if (!bad) return Acceptable;
    emit refused(QString::fromStdString(bad->character));
    return Invalid;
  }

 signals:
  void refused(const QString& character) const;
};
