// The desktop widgets, driven for real under Qt's offscreen platform.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "compose/delivery.h"
#include "demo_servers.h"
#include "desktop_ui.h"
#include "dialogs.h"
#include "engine/comm_thread.h"
#include "engine/supervisor.h"
#include "icons.h"
#include "main_window.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "preferences.h"

namespace quillet {

class DesktopTest : public QObject {
  Q_OBJECT

 public:
  // Answers the next modal dialog: `inspect` sees it, then it is closed.
  static void AnswerNextDialog(std::function<void(QWidget*)> inspect, int delay_ms = 50) {
    QTimer::singleShot(delay_ms, [inspect] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) {
        AnswerNextDialog(inspect, 50);  // not open yet
        return;
      }
      inspect(modal);
    });
  }
  static QString MessageText(QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    return box != nullptr ? box->text() : QString();
  }
  static void Press(QWidget* w, QMessageBox::StandardButton which) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box != nullptr) box->button(which)->click();
  }

 private slots:
  void init() {
    root_ = QDir::temp().filePath(
        QString("quillet-desktop-%1").arg(QRandomGenerator::global()->generate()));
    QDir().mkpath(root_ + "/cwd");
    QDir().mkpath(root_ + "/tmp");
    Directories dirs{(root_ + "/cwd").toStdString(), (root_ + "/config").toStdString(),
                     (root_ + "/tmp/").toStdString()};
    engine_ = std::make_unique<Engine>(clock_, ui_, dirs);
    engine_->LoadAll();
    worker_ = std::make_unique<CommThread>(*engine_, MailServices::Make);
    supervisor_ = std::make_unique<Supervisor>(*engine_, *worker_);
    window_ = std::make_unique<MainWindow>(*engine_, *supervisor_);
    ui_.SetWindow(window_.get());
  }
  void cleanup() {
    ui_.SetWindow(nullptr);
    window_.reset();
    supervisor_.reset();
    worker_.reset();
    engine_.reset();
    QDir(root_).removeRecursively();
  }

  void preferencesRefusedDuringAPass() {
    engine_->working = 1;
    QString text, caption;
    AnswerNextDialog([&](QWidget* w) {
      text = MessageText(w);
      caption = w->windowTitle();
      Press(w, QMessageBox::Ok);
    });
    window_->OpenPreferences();
    QCOMPARE(caption, QString("Alert"));
    QCOMPARE(text, QString("You cannot change the configuration when the process is working.\n"
                           "Try again after completing process."));
    QCOMPARE(engine_->config_open.load(), 0);
    engine_->working = 0;
  }

  void numbersAreRepairedOnApply() {
    Settings& s = engine_->settings;
    struct Case {
      int tab;
      const char* field;
      const char* typed;
      std::function<long long()> stored;
      long long expected;
    } cases[] = {
        {0, "check_interval_minutes", "0", [&] { return s.accounts[0].check_interval_minutes; }, 1},
        {0, "check_interval_minutes", "2000", [&] { return s.accounts[0].check_interval_minutes; },
         1440},
        {4, "piece_delay_seconds", "100", [&] { return s.accounts[0].piece_delay_seconds; }, 60},
        {4, "subject_max_bytes", "99", [&] { return s.accounts[0].subject_max_bytes; }, 32},
        {6, "watchdog_minutes", "5", [&] { return s.global.watchdog_minutes; }, 10},
    };
    for (const Case& c : cases) {
      PreferencesSheet sheet(s, 0, window_.get());
      sheet.tabs()->setCurrentIndex(c.tab);
      auto* edit = sheet.findChild<QLineEdit*>(c.field);
      QVERIFY2(edit != nullptr, c.field);
      edit->setText(c.typed);
      sheet.accept();
      QCOMPARE(c.stored(), c.expected);
    }
  }

  void emptyWordListSwitchesTheFilterOff() {
    Account& a = engine_->settings.accounts[0];
    a.filter_from = 1;
    SetText(a.filter_from_words, "spam");
    PreferencesSheet sheet(engine_->settings, 0, window_.get());
    sheet.tabs()->setCurrentIndex(2);
    QVERIFY(sheet.findChild<QCheckBox*>("filter_from")->isChecked());
    sheet.findChild<QPlainTextEdit*>("filter_from_words")->setPlainText("");
    sheet.accept();
    QCOMPARE(a.filter_from, int16_t{0});
  }

  void mobilePageWritesItsRangesBackWhenShown() {
    Account& a = engine_->settings.accounts[0];
    a.wrap_bytes = 0;
    a.piece_delay_seconds = 100;
    {
      PreferencesSheet sheet(engine_->settings, 0, window_.get());
      sheet.tabs()->setCurrentIndex(4);
      QCOMPARE(sheet.findChild<QLineEdit*>("wrap_bytes")->text(), QString("16"));
      QCOMPARE(sheet.findChild<QLineEdit*>("piece_delay_seconds")->text(), QString("100"));
      sheet.reject();
    }
    QCOMPARE(a.wrap_bytes, int16_t{16});
    QCOMPARE(a.piece_delay_seconds, int16_t{100});
  }

  void pagesNeverShownAreNotApplied() {
    Account& a = engine_->settings.accounts[0];
    a.filter_cc = 1;  // with an empty list: applying Filter-1 would clear it
    PreferencesSheet sheet(engine_->settings, 0, window_.get());
    sheet.accept();
    QCOMPARE(a.filter_cc, int16_t{1});
  }

  void authenticationSurvivesACancelledSheet() {
    Account& a = engine_->settings.accounts[0];
    PreferencesSheet sheet(engine_->settings, 0, window_.get());
    sheet.OpenSmtpAuthentication([](QDialog& d) {
      d.findChild<QCheckBox*>("smtp_auth")->setChecked(true);
      d.findChild<QLineEdit*>("smtp_auth_user")->setText("relay-user");
      d.findChild<QLineEdit*>("smtp_auth_password")->setText("relay-secret");
      return int(QDialog::Accepted);
    });
    sheet.reject();
    QCOMPARE(a.smtp_auth, int16_t{1});
    QCOMPARE(QString(a.smtp_auth_user), QString("relay-user"));
    QCOMPARE(QString(a.smtp_auth_password), QString("relay-secret"));
  }

  void textsAreCutAndKeptInShiftJis() {
    Account& a = engine_->settings.accounts[0];
    PreferencesSheet sheet(engine_->settings, 0, window_.get());
    auto* user = sheet.findChild<QLineEdit*>("pop3_user");
    QCOMPARE(user->maxLength(), 63);
    auto* name = sheet.findChild<QLineEdit*>("account_name");
    name->setText(QString::fromUtf8("\xE5\xB1\xB1\xE7\x94\xB0"));  // Japanese, typed as UTF-8
    sheet.accept();
    QCOMPARE(std::string(a.account_name), std::string("\x8E\x52\x93\x63"));
    PreferencesSheet again(engine_->settings, 0, window_.get());
    QCOMPARE(again.findChild<QLineEdit*>("account_name")->text(),
             QString::fromUtf8("\xE5\xB1\xB1\xE7\x94\xB0"));
  }

  void settingsAreSavedAfterOkAndAfterCancel() {
    QString file = QString::fromStdString(engine_->paths.SettingsPath());
    QVERIFY(!QFile::exists(file));
    AnswerNextDialog([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    window_->OpenPreferences();
    QVERIFY(QFile::exists(file));
    QCOMPARE(engine_->working.load(), 0);
    QCOMPARE(engine_->config_open.load(), 0);
  }

  void startupPasswordHasThreeAnswers() {
    GlobalSettings& g = engine_->settings.global;
    SetText(g.startup_password, "open");
    struct Case {
      const char* typed;
      bool ok;
      int result;
    } cases[] = {{"open", true, 1}, {"shut", true, 2}, {"open", false, 0}};
    for (const Case& c : cases) {
      AnswerNextDialog([&c](QWidget* w) {
        w->findChild<QLineEdit*>("password")->setText(c.typed);
        if (c.ok)
          static_cast<QDialog*>(w)->accept();
        else
          static_cast<QDialog*>(w)->reject();
      });
      QCOMPARE(AskStartupPassword(g, nullptr), c.result);
    }
    SetText(g.startup_password, "");  // an empty password accepts an empty entry
    AnswerNextDialog([](QWidget* w) { static_cast<QDialog*>(w)->accept(); });
    QCOMPARE(AskStartupPassword(g, nullptr), 1);
  }

  void accountListLabelsAndRightButtonVisit() {
    Settings& s = engine_->settings;
    SetText(s.accounts[1].pop3_user, "alice");
    s.accounts[1].enabled = 1;
    AccountListDialog list(*engine_, window_.get());
    QCOMPARE(list.box(2)->text(), QString("Account(2)"));
    QCOMPARE(list.box(1)->text(), QString("(alice)"));
    list.box(1)->setChecked(false);
    AnswerNextDialog([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    list.OpenPreferencesOf(1);
    QCOMPARE(window_->current_account(), 1);
    list.reject();
    QCOMPARE(s.accounts[1].enabled, uint8_t{0});  // stored before the preferences opened
    QCOMPARE(engine_->working.load(), 1);         // still held by the list
    engine_->working = 0;
    engine_->config_open = 0;
  }

  void historySortsBySizeAndByOrderOfRecording() {
    const char* sizes[] = {"900(3)", "1200(3)", "50(3)"};
    for (int i = 0; i < 3; ++i) {
      HistoryRow row;
      row.icon = i;
      row.sort_key = i;
      row.size = sizes[i];
      row.date = "12/10/26 1" + std::to_string(2 - i) + ":00";
      row.subject = "s" + std::to_string(i);
      window_->AddHistoryRow(row);
    }
    QTableWidget* list = window_->history();
    window_->SortHistory(0);
    QCOMPARE(list->item(0, 0)->text(), QString("1200(3)"));
    window_->SortHistory(0);
    QCOMPARE(list->item(0, 0)->text(), QString("50(3)"));
    window_->SortHistory(2);  // descending by recording, whatever the text says
    QCOMPARE(list->item(0, 3)->text(), QString("s2"));
    window_->SortHistory(2);
    QCOMPARE(list->item(0, 3)->text(), QString("s0"));
    HistoryRow japanese;
    japanese.subject = "\x89\xEF\x8B\x63";
    window_->AddHistoryRow(japanese);
    QCOMPARE(list->item(3, 3)->text(), QString::fromUtf8("\xE4\xBC\x9A\xE8\xAD\xB0"));
    list->setColumnWidth(1, 0);
    window_->SaveColumnWidths();
    QCOMPARE(engine_->settings.global.history_column_widths[1], int16_t{100});
  }

  void quitRefusedWhenAPassStartsDuringTheQuestion() {
    engine_->settings.global.confirm_quit = 1;
    QString question;
    AnswerNextDialog([&](QWidget* w) {
      question = MessageText(w);
      engine_->working = 1;  // a pass starts while the user reads
      Press(w, QMessageBox::Yes);
    });
    QVERIFY(!window_->QuitProgram());
    QCOMPARE(question, QString("Do you wish to quit QuilletPost?"));
    QCOMPARE(ui_.beeps(), 1);
    engine_->working = 0;
  }

  void startForwardingFromTheWindow() {
    DemoPop3Server pop3;
    DemoSmtpServer smtp;
    pop3.AddMailbox("dave", "pw");
    pop3.Deliver("dave", {"d1", "From: a@example.com\r\nSubject: hello\r\n\r\nbody\r\n"});
    Account& a = engine_->settings.accounts[0];
    SetText(a.pop3_server, "127.0.0.1");
    SetText(a.smtp_server, "127.0.0.1");
    SetText(a.pop3_user, "dave");
    SetText(a.pop3_password, "pw");
    SetText(a.mail_address, "dave@example.org");
    SetText(a.forward_to, "phone@example.net");
    a.pop3_port = static_cast<int16_t>(pop3.port());
    a.smtp_port = static_cast<int16_t>(smtp.port());
    a.smtp_port_manual = 1;
    a.enabled = 1;
    window_->StartForwarding();
    // The window keeps serving events while the worker runs.
    QTRY_VERIFY_WITH_TIMEOUT(window_->history()->rowCount() >= 3, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(engine_->working.load(), 0, 15000);
    QCOMPARE(smtp.Messages().size(), size_t{1});
    QCOMPARE(window_->StatusText(), QString("Waiting... "));
    window_->RefreshSummary();
    QCOMPARE(window_->SummaryText(), QString("Ready.. : 1 mails forwarded (Connection: 1 times)"));
  }

  // Pictures for a person to look at: QUILLET_SCREENSHOTS names the folder.
  void screenshots() {
    QString dir = qEnvironmentVariable("QUILLET_SCREENSHOTS");
    if (dir.isEmpty()) QSKIP("set QUILLET_SCREENSHOTS to a folder to take them");
    QDir().mkpath(dir);
    window_->resize(900, 420);
    window_->show();
    for (int code = 0; code <= 17; ++code) {
      HistoryRow row;
      row.icon = code;
      row.sort_key = code;
      row.size = code == 3 || code == 4 ? "Info" : std::to_string(1000 + code * 37) + "(12)";
      row.account = "Work";
      row.date = "12/10/26 09:" + std::to_string(10 + code);
      row.subject = "Message with status " + std::to_string(code);
      row.from = "sender@example.com";
      row.to = "me@example.org";
      window_->AddHistoryRow(row);
    }
    window_->ShowStatus("[Work] Receiving... #### ", kStatusReceiving);
    window_->grab().save(dir + "/main-window.png");
    PreferencesSheet sheet(engine_->settings, 0, window_.get());
    sheet.resize(760, 640);
    sheet.show();
    const char* names[] = {"server", "options",  "filter-1", "filter-2",
                           "mobile", "schedule", "general"};
    for (int i = 0; i < 7; ++i) {
      sheet.tabs()->setCurrentIndex(i);
      QApplication::processEvents();
      sheet.grab().save(dir + QString("/preferences-%1.png").arg(names[i]));
    }
    AboutDialog about(window_.get());
    about.show();
    about.grab().save(dir + "/about.png");
    AboutIconsDialog icons(window_.get());
    icons.show();
    icons.grab().save(dir + "/about-icons.png");
    AccountListDialog list(*engine_, window_.get());
    list.show();
    list.grab().save(dir + "/account-list.png");
  }

 private:
  QString root_;
  SystemClock clock_;
  DesktopUi ui_;
  std::unique_ptr<Engine> engine_;
  std::unique_ptr<CommThread> worker_;
  std::unique_ptr<Supervisor> supervisor_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace quillet

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  quillet::DesktopTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "desktop_test.moc"
