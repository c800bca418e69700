#pragma once

#include <QCheckBox>
#include <QDialog>
#include <array>

#include "engine/engine.h"

namespace quillet {

class MainWindow;

// "Account list": ticks edit `enabled`; a right click opens one account's preferences.
class AccountListDialog : public QDialog {
  Q_OBJECT

 public:
  AccountListDialog(Engine& engine, MainWindow* window);
  QCheckBox* box(int k) { return boxes_[k]; }
  // Stores the ticks into the accounts.
  void StoreTicks();
  // What the right-button menu item of account k does.
  void OpenPreferencesOf(int k);
  void Refresh();

 private:
  void accept() override;
  Engine& engine_;
  MainWindow* window_;
  std::array<QCheckBox*, kAccountCount> boxes_{};
};

// The start-up password: 1 right, 2 wrong, 0 cancelled.
int AskStartupPassword(const GlobalSettings& global, QWidget* parent);

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent);
};

// The legend of the history icons.
class AboutIconsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutIconsDialog(QWidget* parent);
};

}  // namespace quillet
