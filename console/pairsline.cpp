// The desk line button: connecting a desk to the line, joining and parting a pair.
#include <QPainter>

#include "app/Unmane.h"
#include "app/colours.h"
#include "console/walks.h"
#include "link/switchstate.h"

using namespace console;

namespace {

enum class LinePath { Connect, Pair, Part, None };

// The line button's caption and the teacher's line source decide what a click does.
LinePath ChooseLinePath(const QString& caption, bool lineSourceInUse) {
  if (caption == kLineOff && lineSourceInUse) return LinePath::Connect;
  if (caption == kLineOff || caption == kLineOn) return LinePath::Pair;
  if (caption == kLinePair) return LinePath::Part;
  return LinePath::None;
}

}  // namespace

void TForm1::Button1Click(QPushButton* lineButton) {
  EndNameEditing();
  DeskPanel* desk = PanelOf(lineButton);
  if (!desk) {
    RedrawLinks();
    return;
  }
  const int deskIndex = desk->tag();
  SelectedDesk = desk;
  const bool lineSourceInUse = SpeedButton50->isChecked() || SpeedButton51->isChecked();
  DeskPanel* partner = PartnerOf(desk);

  switch (ChooseLinePath(lineButton->text(), lineSourceInUse)) {
    case LinePath::Connect:
      if (SendSwitchRequest(PairBreak, deskIndex, false, false) &&
          SendSwitchRequest(LineConnect, deskIndex, false, false)) {
        lineButton->setText(kLineOn);
        DrawLineFrame(desk);
      }
      break;

    case LinePath::Pair:
      if (!partner) break;
      if (partner->isHidden()) {
        // A desk without a partner on the plan can only leave the line.
        if (SendSwitchRequest(LineDisconnect, deskIndex, false, false)) {
          lineButton->setText(kLineOff);
        }
        break;
      }
      if (partner->listen->isChecked() || partner->speak->isChecked()) {
        // The partner stops being routed to the teacher; a refusal does not stop the join.
        SendSwitchRequest(ReleaseDesk, partner->tag(), SpeedButton50->isChecked(), false);
      }
      if (SendSwitchRequest(PairJoin, deskIndex, false, false) &&
          SendSwitchRequest(LineDisconnect, deskIndex, false, false) &&
          SendSwitchRequest(LineDisconnect, partner->tag(), false, false)) {
        DrawPairLink(desk);
        lineButton->setText(kLinePair);
        partner->lineButton->setText(kLinePair);
        CopyColourToPartner(desk);
        MirrorToPartner(desk);
      }
      break;

    case LinePath::Part:
      if (!partner) break;
      if (SendSwitchRequest(PairBreak, deskIndex, false, false) &&
          SendSwitchRequest(LineDisconnect, deskIndex, false, false) &&
          SendSwitchRequest(LineDisconnect, partner->tag(), false, false)) {
        ErasePairLink(desk);
        lineButton->setText(kLineOff);
        partner->lineButton->setText(kLineOff);
        // The teacher's routing is left to the controller as it is; only a
        // desk spoken to goes back on the line it was taken off.
        ReconnectSpokenDesks(*this);
        PutAllToggleButtonsUp(*this, false);
        ClearDeskHighlight();
      }
      break;

    case LinePath::None:
      break;
  }
  RedrawLinks();
}

void TForm1::ErasePairLink(DeskPanel* desk) {
  if (!desk) return;
  const int pair = desk->tag() / 2;
  if (pair < 0 || pair >= kPairCount || room().PairJoined[pair] == 0) return;
  room().PairJoined[pair] = 0;

  const DeskPanel* first = GroupBox[2 * pair];
  const DeskPanel* second = GroupBox[2 * pair + 1];
  if (!first || !second || surface_.isNull()) return;
  const int left = first->x() + first->width() / 2 - 2;
  const int top = first->y() + first->height() / 2 - 2;
  const int right = second->x() + second->width() / 2 + 2;
  const int bottom = second->y() + second->height() / 2 + 2;
  // An inverted rectangle paints nothing, like the platform's fill; the
  // redraw that follows every line button click repaints the whole plan.
  if (right <= left || bottom <= top) return;
  QPainter painter(&surface_);
  painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)),
                   fillColour_.isValid() ? fillColour_ : colours::kButtonFace);
  painter.end();
  update();
}

namespace {

void ClickWithCaption(TForm1& form, const QString& caption) {
  if (!form.SelectedDesk) return;
  QPushButton* lineButton = form.SelectedDesk->lineButton;
  lineButton->setText(caption);
  form.Button1Click(lineButton);
}

}  // namespace

void TForm1::Desk2DeskCommExecute() { ClickWithCaption(*this, kLineOn); }

void TForm1::Desk2DeskBrakeExecute() { ClickWithCaption(*this, kLinePair); }

void TForm1::ConnectToLineExecute() { ClickWithCaption(*this, kLineOff); }

void TForm1::DisconnectLineExecute() { ClickWithCaption(*this, kLineOn); }
