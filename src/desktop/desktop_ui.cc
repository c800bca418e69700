#include "desktop_ui.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "icons.h"
#include "main_window.h"

namespace quillet {

template <typename F>
void DesktopUi::OnWindowThread(F&& f) {
  if (window_ == nullptr) return;
  if (QThread::currentThread() == window_->thread()) {
    f();
    return;
  }
  QMetaObject::invokeMethod(window_, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

void DesktopUi::ShowStatus(const std::string& text, int kind) {
  OnWindowThread([this, text, kind] { window_->ShowStatus(FromSjis(text), kind); });
}

void DesktopUi::AddHistoryRow(const HistoryRow& row) {
  OnWindowThread([this, row] { window_->AddHistoryRow(row); });
}

void DesktopUi::ClearHistoryRows() {
  OnWindowThread([this] { window_->ClearHistoryRows(); });
}

void DesktopUi::RedrawHistory() {
  OnWindowThread([this] { window_->RedrawHistory(); });
}

void DesktopUi::SetMenuItemEnabled(int item, bool enabled) {
  if (item != kMenuQuit) return;
  OnWindowThread([this, enabled] { window_->SetQuitEnabled(enabled); });
}

void DesktopUi::Invalidate() {
  OnWindowThread([this] { window_->RefreshSummary(); });
}

MessageAnswer DesktopUi::ShowMessage(const std::string& text, const std::string& caption,
                                     MessageIcon icon, MessageButtons buttons) {
  MessageAnswer answer = MessageAnswer::kOk;
  if (window_ == nullptr) return AskUser(text, caption, icon, buttons);
  OnWindowThread([&] { answer = AskUser(text, caption, icon, buttons); });
  return answer;
}

void DesktopUi::Beep(BeepKind) {
  OnWindowThread([this] {
    ++beeps_;
    QApplication::beep();
  });
}

void DesktopUi::HideIntoTray() {
  OnWindowThread([this] { window_->HideIntoTray(); });
}

void DesktopUi::KillStartupTimer() {
  OnWindowThread([this] { window_->KillStartupTimer(); });
}

MessageAnswer AskUser(const std::string& text, const std::string& caption, MessageIcon icon,
                      MessageButtons buttons, QWidget* parent) {
  QMessageBox box(parent);
  box.setWindowTitle(FromSjis(caption));
  box.setText(FromSjis(text));
  switch (icon) {
    case MessageIcon::kExclamation:
      box.setIcon(QMessageBox::Warning);
      break;
    case MessageIcon::kQuestion:
      box.setIcon(QMessageBox::Question);
      break;
    case MessageIcon::kInformation:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageIcon::kNone:
      break;
  }
  if (buttons == MessageButtons::kYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? MessageAnswer::kYes : MessageAnswer::kNo;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return MessageAnswer::kOk;
}

}  // namespace quillet
