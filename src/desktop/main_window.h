#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QRect>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTimer>
#include <array>

#include "engine/comm_thread.h"
#include "engine/engine.h"
#include "engine/supervisor.h"
#include "engine/ui_port.h"

class QAction;
class QToolButton;

namespace quillet {

inline constexpr char kWindowTitle[] = "Quillet V3.47";
inline constexpr int kHistoryColumns = 6;

// The main window: menus, toolbar, history list, status bar and tray icon.
// It owns the two timers and hands commands to the supervisor.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(Engine& engine, Supervisor& supervisor);
  ~MainWindow() override;

  // Starts the pass timer and, when configured, the start-up timer.
  void StartTimers();
  // The rectangle the settings keep, and whether the window is maximised.
  WindowRect LastRect() const;
  int current_account() const { return current_account_; }
  void set_current_account(int k) { current_account_ = k; }
  QTableWidget* history() { return history_; }
  bool in_tray() const { return in_tray_; }
  // Where the help pages and readme.html are.
  static QString ShareDirectory();

  // Called by the engine through DesktopUi, always on this window's thread.
  void ShowStatus(const QString& text, int kind);
  void AddHistoryRow(const HistoryRow& row);
  void ClearHistoryRows();
  void RedrawHistory();
  void SetQuitEnabled(bool enabled);
  void RefreshSummary();
  void HideIntoTray();
  void KillStartupTimer();

  // Commands of the menus, the toolbar and the tray menu.
  void StartForwarding();
  void OpenPreferences();
  void ChooseAccounts();
  void SeeHistoryLog();
  void SeeReadme();
  void ShowAboutIcons();
  void ShowAbout();
  void PutIntoTray();
  void RestoreFromTray();
  bool QuitProgram();
  void SortHistory(int column);
  void SaveColumnWidths();
  QString StatusText() const;
  QString SummaryText() const;
  QString TrayToolTip() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolbar();
  void BuildHistory();
  void BuildStatusBar();
  void ShowAccountMenu(QToolButton* button);
  void RecordRect();

  Engine& engine_;
  Supervisor& supervisor_;
  QTableWidget* history_ = nullptr;
  QLabel* status_icon_ = nullptr;
  QLabel* status_text_ = nullptr;
  QLabel* summary_icon_ = nullptr;
  QLabel* summary_text_ = nullptr;
  QAction* quit_action_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  QTimer pass_timer_;
  QTimer startup_timer_;
  std::array<bool, kHistoryColumns> descending_{};
  QRect last_rect_;
  bool in_tray_ = false;
  bool restoring_ = false;
  bool quitting_ = false;
  int current_account_ = 0;
};

}  // namespace quillet
