#include "dialogs.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>

#include "icons.h"
#include "main_window.h"

namespace quillet {

AccountListDialog::AccountListDialog(Engine& engine, MainWindow* window)
    : QDialog(window), engine_(engine), window_(window) {
  setWindowTitle("Account list");
  auto* layout = new QVBoxLayout(this);
  auto* group = new QGroupBox("Choose accounts you would like to use", this);
  auto* column = new QVBoxLayout(group);
  for (int k = 0; k < kAccountCount; ++k) {
    boxes_[k] = new QCheckBox(QString("Account (%1)").arg(k), group);
    boxes_[k]->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(boxes_[k], &QWidget::customContextMenuRequested, this, [this, k](const QPoint& at) {
      QMenu menu(this);
      QAction* item =
          menu.addAction(QString("Open Preferences : %1")
                             .arg(FromSjis(AccountLabelOrIndex(engine_.settings.accounts[k], k))));
      if (menu.exec(boxes_[k]->mapToGlobal(at)) == item) OpenPreferencesOf(k);
    });
    column->addWidget(boxes_[k]);
  }
  layout->addWidget(group);
  layout->addWidget(new QLabel("( Click Right-Button to open preference dialog )", this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  Refresh();
}

void AccountListDialog::Refresh() {
  for (int k = 0; k < kAccountCount; ++k) {
    boxes_[k]->setText(FromSjis(AccountLabelOrIndex(engine_.settings.accounts[k], k)));
    boxes_[k]->setEnabled(true);
    boxes_[k]->setChecked(engine_.settings.accounts[k].enabled != 0);
  }
}

void AccountListDialog::StoreTicks() {
  for (int k = 0; k < kAccountCount; ++k)
    engine_.settings.accounts[k].enabled = boxes_[k]->isChecked() ? 1 : 0;
}

void AccountListDialog::OpenPreferencesOf(int k) {
  window_->set_current_account(k);
  StoreTicks();
  engine_.working = 0;
  window_->OpenPreferences();
  engine_.working = 1;
  engine_.config_open = 1;
  Refresh();
}

void AccountListDialog::accept() {
  StoreTicks();
  QDialog::accept();
}

int AskStartupPassword(const GlobalSettings& global, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle("QuilletPost - Startup");
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
  auto* layout = new QVBoxLayout(&dialog);
  auto* group = new QGroupBox("Enter Password", &dialog);
  auto* inner = new QVBoxLayout(group);
  auto* edit = new QLineEdit(group);
  edit->setObjectName("password");
  edit->setEchoMode(QLineEdit::Password);
  edit->setMaxLength(10);
  inner->addWidget(edit);
  layout->addWidget(group);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return 0;
  return ToSjis(edit->text(), 10) == std::string(GetText(global.startup_password)) ? 1 : 2;
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About QuilletPost");
  auto* layout = new QVBoxLayout(this);
  auto* banner = new QHBoxLayout;
  auto* picture = new QLabel(this);
  picture->setPixmap(ProgramIcon().pixmap(48, 48));
  banner->addWidget(picture);
  auto* text = new QLabel(
      "<b>QuilletPost</b> &mdash; Quillet V3.47.1<br>"
      "Forwards the mail of up to ten POP3 mailboxes<br>to other addresses, shaped for a computer "
      "or a phone.",
      this);
  banner->addWidget(text, 1);
  layout->addLayout(banner);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

AboutIconsDialog::AboutIconsDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About Icons");
  struct Entry {
    int code;
    const char* legend;
  };
  static const Entry kLegend[] = {
      {0, "forwarded all contents"},
      {2, "removed attached files"},
      {7, "forwarded to mobile phone"},
      {15, "filtered by mail size"},
      {9, "filtered by From address"},
      {10, "filtered by To address"},
      {11, "filtered by Cc address"},
      {12, "filtered by Subject"},
      {13, "filtered by X-Mailer"},
      {14, "filtered by Date"},
      {8, "filtered by Content-Type"},
      {17, "filtered by scheduler"},
      {1, "not forwarded at all"},
      {4, "error message"},
      {5, "filtered by history log"},
      {3, "other information"},
      {16, "unmatch the specified conditions"},
  };
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  int row = 0;
  for (const Entry& e : kLegend) {
    auto* icon = new QLabel(this);
    icon->setPixmap(HistoryIcon(e.code).pixmap(16, 16));
    grid->addWidget(icon, row, 0);
    grid->addWidget(new QLabel(e.legend, this), row, 1);
    ++row;
  }
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

}  // namespace quillet
