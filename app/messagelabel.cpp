// A status message that is never cut.
#include "app/messagelabel.h"

#include "app/widgets.h"

MessageLabel::MessageLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setTextInteractionFlags(Qt::NoTextInteraction);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void MessageLabel::SetMessage(const QString& text) {
  if (textFormat() != Qt::PlainText) setTextFormat(Qt::PlainText);
  if (this->text() != text) setText(text);
  setToolTip(PlainToolTip(text));
  setAccessibleName(text);
}

void MessageLabel::SetMarkedMessage(const QString& richText, const QString& plain) {
  if (textFormat() != Qt::RichText) setTextFormat(Qt::RichText);
  if (text() != richText) setText(richText);
  setToolTip(PlainToolTip(plain));
  setAccessibleName(plain);
}
