// Setting a student name box from code without upsetting an edit in progress.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QVariant>

namespace console {

// The text a box had when editing began, so that discarding takes back the
// whole unconfirmed edit and not only the last keystroke.
inline constexpr char kTextBeforeEditing[] = "vormikTextBeforeEditing";

// A name set by loading a file or by the standard classroom replaces the
// plan; a box still being edited must then go back to this name, not to the
// one it had before, when its editing is discarded.
inline void SetNameText(QLineEdit* box, const QString& text) {
  if (!box) return;
  box->setText(text);
  box->setProperty(kTextBeforeEditing, box->isReadOnly() ? QVariant() : QVariant(text));
}

}  // namespace console
