#include "main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "desktop_ui.h"
#include "dialogs.h"
#include "icons.h"
#include "preferences.h"

namespace quillet {
namespace {

constexpr char kConfigBusy[] =
    "You cannot change the configuration when the process is working.\nTry again after completing "
    "process.";

const char* const kHeadings[kHistoryColumns] = {
    "Size(num of mails)", "Account", "Date", "Subject", "From", "To"};

// A history cell that sorts the way the list does: the size column by its
// leading number, the date column by the order of recording, the rest as text.
class HistoryItem : public QTableWidgetItem {
 public:
  HistoryItem(const QString& text, int column, int order)
      : QTableWidgetItem(text), column_(column), order_(order) {}
  bool operator<(const QTableWidgetItem& other) const override {
    const auto& o = static_cast<const HistoryItem&>(other);
    if (column_ == 0) return LeadingNumber(text()) < LeadingNumber(o.text());
    if (column_ == 2) return order_ < o.order_;
    return text().toUtf8() < o.text().toUtf8();
  }

 private:
  static long LeadingNumber(const QString& s) {
    long n = 0;
    for (QChar c : s) {
      if (!c.isDigit()) break;
      n = n * 10 + c.digitValue();
    }
    return n;
  }
  int column_;
  int order_;
};

}  // namespace

MainWindow::MainWindow(Engine& engine, Supervisor& supervisor)
    : engine_(engine), supervisor_(supervisor) {
  setWindowTitle(kWindowTitle);
  setWindowIcon(ProgramIcon());
  const GlobalSettings& g = engine_.settings.global;
  setGeometry(g.window_x, g.window_y, g.window_width, g.window_height);
  BuildMenus();
  BuildToolbar();
  BuildHistory();
  BuildStatusBar();
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    tray_ = new QSystemTrayIcon(ProgramIcon(), this);
    auto* menu = new QMenu(this);
    menu->addAction("Show window", this, &MainWindow::RestoreFromTray);
    tray_->setContextMenu(menu);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
              if (reason == QSystemTrayIcon::DoubleClick) RestoreFromTray();
            });
  }
  connect(&pass_timer_, &QTimer::timeout, this, [this] { supervisor_.OnPassTimer(); });
  connect(&startup_timer_, &QTimer::timeout, this, [this] { supervisor_.OnStartupTimer(); });
  RecordRect();
  RefreshSummary();
}

MainWindow::~MainWindow() = default;

QString MainWindow::ShareDirectory() {
  for (const QString& dir : {QCoreApplication::applicationDirPath() + "/../share/quilletpost",
                             QString(QUILLET_SHARE_DIR), QString(QUILLET_SOURCE_SHARE_DIR)}) {
    if (QFileInfo::exists(dir + "/readme.html")) return QDir(dir).absolutePath();
  }
  return QString(QUILLET_SOURCE_SHARE_DIR);
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu("File");
  file->addAction("Start forwarding", this, &MainWindow::StartForwarding);
  file->addSeparator();
  file->addAction("Set preferences", this, &MainWindow::OpenPreferences);
  file->addAction("Choose account", this, &MainWindow::ChooseAccounts);
  file->addSeparator();
  file->addAction("See history log", this, &MainWindow::SeeHistoryLog);
  file->addSeparator();
  quit_action_ = file->addAction("Quit", this, [this] { QuitProgram(); });
  QMenu* options = menuBar()->addMenu("Options");
  options->addAction("Put into tasktray", this, &MainWindow::PutIntoTray);
  options->addSeparator();
  options->addAction("See readme.html", this, &MainWindow::SeeReadme);
  options->addAction("About icons", this, &MainWindow::ShowAboutIcons);
  options->addSeparator();
  options->addAction("About QuilletPost", this, &MainWindow::ShowAbout);
}

void MainWindow::BuildToolbar() {
  QToolBar* bar = addToolBar("Tools");
  bar->setMovable(false);
  bar->setIconSize(QSize(16, 16));
  bar->addSeparator();
  bar->addAction(ToolIcon("tool-start"), "Start forwarding", this, &MainWindow::StartForwarding)
      ->setToolTip("Start forwarding.");
  bar->addSeparator();
  auto* preferences = new QToolButton(bar);
  preferences->setIcon(ToolIcon("tool-preferences"));
  preferences->setToolTip("Set preferences.");
  preferences->setPopupMode(QToolButton::MenuButtonPopup);
  preferences->setMenu(new QMenu(preferences));  // filled when it opens
  connect(preferences, &QToolButton::clicked, this, &MainWindow::OpenPreferences);
  connect(preferences->menu(), &QMenu::aboutToShow, this,
          [this, preferences] { ShowAccountMenu(preferences); });
  bar->addWidget(preferences);
  bar->addAction(ToolIcon("tool-accounts"), "Choose account", this, &MainWindow::ChooseAccounts)
      ->setToolTip("Choose accounts.");
  bar->addSeparator();
  bar->addAction(ToolIcon("tool-log"), "See history log", this, &MainWindow::SeeHistoryLog)
      ->setToolTip("See history log.");
  bar->addSeparator();
  bar->addAction(ToolIcon("tool-tray"), "Put into tasktray", this, &MainWindow::PutIntoTray)
      ->setToolTip("Put into tasktray");
  bar->addSeparator();
}

void MainWindow::ShowAccountMenu(QToolButton* button) {
  QMenu* menu = button->menu();
  menu->clear();
  for (int k = 0; k < kAccountCount; ++k) {
    const Account& a = engine_.settings.accounts[k];
    QString text = " " + FromSjis(AccountLabelOrIndex(a, k));
    QAction* item = menu->addAction(CheckIcon(a.enabled != 0), text);
    connect(item, &QAction::triggered, this, [this, k] {
      current_account_ = k;
      OpenPreferences();
    });
  }
}

void MainWindow::BuildHistory() {
  history_ = new QTableWidget(0, kHistoryColumns, this);
  for (int c = 0; c < kHistoryColumns; ++c)
    history_->setHorizontalHeaderItem(c, new QTableWidgetItem(kHeadings[c]));
  history_->setShowGrid(true);
  history_->setSelectionBehavior(QAbstractItemView::SelectRows);
  history_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  history_->verticalHeader()->hide();
  history_->verticalHeader()->setDefaultSectionSize(18);
  history_->setIconSize(QSize(16, 16));
  history_->setWordWrap(false);
  history_->horizontalHeader()->setSectionsMovable(true);
  history_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  history_->horizontalHeader()->setHighlightSections(false);
  history_->horizontalHeader()->setStretchLastSection(false);
  for (int c = 0; c < kHistoryColumns; ++c)
    history_->setColumnWidth(c, engine_.settings.global.history_column_widths[c] > 0
                                    ? engine_.settings.global.history_column_widths[c]
                                    : 100);
  connect(history_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &MainWindow::SortHistory);
  setCentralWidget(history_);
}

void MainWindow::BuildStatusBar() {
  auto field = [this](QLabel*& icon, QLabel*& text) {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(2, 0, 2, 0);
    icon = new QLabel(box);
    icon->setFixedSize(16, 16);
    text = new QLabel(box);
    layout->addWidget(icon);
    layout->addWidget(text, 1);
    statusBar()->addWidget(box, 1);
  };
  field(status_icon_, status_text_);
  field(summary_icon_, summary_text_);
}

void MainWindow::StartTimers() {
  pass_timer_.start(60000);
  if (supervisor_.WindowCreated()) startup_timer_.start(3000);
}

WindowRect MainWindow::LastRect() const {
  return WindowRect{isMaximized(), last_rect_.left(), last_rect_.top(),
                    last_rect_.left() + last_rect_.width(), last_rect_.top() + last_rect_.height()};
}

void MainWindow::RecordRect() {
  if (!isMaximized() && !isMinimized()) last_rect_ = geometry();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  RecordRect();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  RecordRect();
}

void MainWindow::ShowStatus(const QString& text, int kind) {
  if (kind >= 0 && kind < 8) status_icon_->setPixmap(StatusIcon(kind).pixmap(16, 16));
  status_text_->setText(text);
}

QString MainWindow::StatusText() const {
  return status_text_->text();
}
QString MainWindow::SummaryText() const {
  return summary_text_->text();
}

void MainWindow::AddHistoryRow(const HistoryRow& row) {
  int r = history_->rowCount();
  history_->insertRow(r);
  QString cells[kHistoryColumns] = {FromSjis(row.size), FromSjis(row.account),
                                    FromSjis(row.date), FromSjis(row.subject),
                                    FromSjis(row.from), FromSjis(row.to)};
  for (int c = 0; c < kHistoryColumns; ++c) {
    auto* item = new HistoryItem(cells[c], c, row.sort_key);
    if (c == 0) item->setIcon(HistoryIcon(row.icon));
    history_->setItem(r, c, item);
  }
}

void MainWindow::ClearHistoryRows() {
  history_->setRowCount(0);
}

void MainWindow::RedrawHistory() {
  history_->viewport()->update();
}

void MainWindow::SetQuitEnabled(bool enabled) {
  quit_action_->setEnabled(enabled);
}

void MainWindow::RefreshSummary() {
  summary_icon_->setPixmap(StatusIcon(supervisor_.SummaryKind()).pixmap(16, 16));
  summary_text_->setText(FromSjis(supervisor_.SummaryText()));
  history_->viewport()->update();
}

void MainWindow::KillStartupTimer() {
  startup_timer_.stop();
}

void MainWindow::SortHistory(int column) {
  descending_[column] = !descending_[column];
  history_->sortItems(column, descending_[column] ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void MainWindow::SaveColumnWidths() {
  for (int c = 0; c < kHistoryColumns; ++c) {
    int w = history_->columnWidth(c);
    engine_.settings.global.history_column_widths[c] = static_cast<int16_t>(w < 1 ? 100 : w);
  }
}

void MainWindow::StartForwarding() {
  supervisor_.StartForwarding();
}

void MainWindow::OpenPreferences() {
  if (engine_.working != 0) {
    AskUser(kConfigBusy, "Alert", MessageIcon::kExclamation, MessageButtons::kOk, this);
    return;
  }
  engine_.working = 1;
  engine_.config_open = 1;
  if (current_account_ < 0 || current_account_ >= kAccountCount) current_account_ = 0;
  PreferencesSheet sheet(engine_.settings, current_account_, this);
  sheet.exec();
  engine_.working = 0;
  engine_.config_open = 0;
  engine_.SaveAll(nullptr);
  RefreshSummary();
}

void MainWindow::ChooseAccounts() {
  if (engine_.working != 0) {
    AskUser(kConfigBusy, "Alert", MessageIcon::kExclamation, MessageButtons::kOk, this);
    return;
  }
  engine_.working = 1;
  engine_.config_open = 1;
  AccountListDialog dialog(engine_, this);
  dialog.exec();
  engine_.SaveAll(nullptr);
  engine_.working = 0;
  engine_.config_open = 0;
}

void MainWindow::SeeHistoryLog() {
  QString viewer = QStandardPaths::findExecutable("qltview");
  QString log = QString::fromStdString(engine_.paths.HistoryPath());
  if (!viewer.isEmpty())
    QProcess::startDetached(viewer, {log});
  else
    QDesktopServices::openUrl(QUrl::fromLocalFile(log));
}

void MainWindow::SeeReadme() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(ShareDirectory() + "/readme.html"));
}

void MainWindow::ShowAboutIcons() {
  AboutIconsDialog dialog(this);
  dialog.exec();
}

void MainWindow::ShowAbout() {
  QApplication::beep();
  AboutDialog dialog(this);
  dialog.exec();
}

QString MainWindow::TrayToolTip() const {
  QString tip = QString(kWindowTitle) + "\n";
  if (engine_.started != 1) return tip + "Disconnected";
  int enabled = 0;
  for (const Account& a : engine_.settings.accounts) enabled += a.enabled != 0;
  return tip + "Waiting... " + QString("\n%1 accounts used...").arg(enabled);
}

void MainWindow::PutIntoTray() {
  if (engine_.started != 1 &&
      AskUser("QuilletPost is not connected to mail server.\nWould you put it into tasktray?",
              "Confirmation", MessageIcon::kQuestion,
              MessageButtons::kYesNo) != MessageAnswer::kYes)
    return;
  HideIntoTray();
}

void MainWindow::HideIntoTray() {
  if (tray_ != nullptr) {
    tray_->setToolTip(TrayToolTip());
    tray_->show();
    hide();
  } else {
    showMinimized();  // no notification area: minimising is the nearest thing
  }
  in_tray_ = true;
}

void MainWindow::RestoreFromTray() {
  if (restoring_) return;
  restoring_ = true;
  if (engine_.settings.global.startup_password_required != 0) {
    for (;;) {
      int result = AskStartupPassword(engine_.settings.global, this);
      if (result == 1) break;
      if (result == 0) {
        restoring_ = false;
        return;
      }
      AskUser("Password is incorrect.", "QuilletPost - Startup", MessageIcon::kExclamation,
              MessageButtons::kOk);
    }
  }
  if (tray_ != nullptr) tray_->hide();
  showNormal();
  raise();
  activateWindow();
  in_tray_ = false;
  restoring_ = false;
}

bool MainWindow::QuitProgram() {
  if (!supervisor_.Quit()) return false;
  SaveColumnWidths();
  quitting_ = true;
  close();
  QApplication::quit();
  return true;
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) RefreshSummary();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (quitting_ || QuitProgram()) {
    event->accept();
    return;
  }
  event->ignore();
}

}  // namespace quillet
