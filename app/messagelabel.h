// A status message shown whole: plain text that wraps onto a second line
// rather than being cut, with the whole text in its tooltip and for screen
// readers.
#pragma once

#include <QLabel>

class MessageLabel : public QLabel {
  Q_OBJECT
 public:
  explicit MessageLabel(QWidget* parent);
  void SetMessage(const QString& text);
  // Rich text for the link state's coloured mark; `plain` is what is read out.
  void SetMarkedMessage(const QString& richText, const QString& plain);
};
