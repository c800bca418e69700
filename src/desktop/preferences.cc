#include "preferences.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QUrl>
#include <QVBoxLayout>

#include "icons.h"
#include "main_window.h"

namespace quillet {
namespace {

long long Clamp(long long v, long long low, long long high) {
  return v < low ? low : (v > high ? high : v);
}

QGroupBox* Group(QBoxLayout* parent, const QString& title, QBoxLayout*& inner) {
  auto* group = new QGroupBox(title);
  inner = new QVBoxLayout(group);
  inner->setSpacing(2);
  parent->addWidget(group);
  return group;
}

QHBoxLayout* Row(QBoxLayout* parent) {
  auto* row = new QHBoxLayout;
  parent->addLayout(row);
  return row;
}

}  // namespace

PreferencePage::PreferencePage(QString help_file, QWidget* parent)
    : QWidget(parent), help_file_(std::move(help_file)) {}

void PreferencePage::Show() {
  shown_ = true;
  for (auto& f : show_) f();
}

void PreferencePage::Apply() {
  if (!shown_) return;
  for (auto& f : apply_) f();
}

QCheckBox* PreferencePage::MakeCheckBox(QBoxLayout* layout, const QString& label,
                                        const char* name) {
  auto* box = new QCheckBox(label);
  box->setObjectName(name);
  if (layout != nullptr) layout->addWidget(box);
  return box;
}

QLineEdit* PreferencePage::Text(const char*, size_t size, size_t limit, char* field,
                                const char* name, bool hidden) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  edit->setMaxLength(static_cast<int>(limit));
  if (hidden) edit->setEchoMode(QLineEdit::Password);
  OnShow([edit, field, size] {
    edit->setText(FromSjis(std::string_view(field, strnlen(field, size))));
  });
  OnApply([edit, field, size, limit] {
    std::string text = ToSjis(edit->text(), limit);
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), text.size());
  });
  return edit;
}

QPlainTextEdit* PreferencePage::MultiLineText(size_t size, size_t limit, char* field,
                                              const char* name) {
  auto* edit = new QPlainTextEdit;
  edit->setObjectName(name);
  edit->setMaximumHeight(54);
  OnShow([edit, field, size] {
    edit->setPlainText(FromSjis(std::string_view(field, strnlen(field, size))));
  });
  OnApply([edit, field, size, limit] {
    QString text = edit->toPlainText();
    text.replace('\n', ' ');
    std::string sjis = ToSjis(text, limit);  // longer texts are cut to the field's limit
    std::memset(field, 0, size);
    std::memcpy(field, sjis.data(), sjis.size());
  });
  return edit;
}

QLineEdit* PreferencePage::Number(std::function<long long()> show,
                                  std::function<void(long long)> apply, const char* name,
                                  int width) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  edit->setFixedWidth(width);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]{0,9}"), edit));
  OnShow([edit, show] { edit->setText(QString::number(show())); });
  OnApply([edit, apply] { apply(edit->text().toLongLong()); });
  return edit;
}

void PreferencePage::Radios(QRadioButton* zero, QRadioButton* one, int16_t& field) {
  OnShow([zero, one, &field] { (field != 0 ? one : zero)->setChecked(true); });
  OnApply([one, &field] { field = one->isChecked() ? 1 : 0; });
}

PreferencesSheet::PreferencesSheet(Settings& settings, int account, QWidget* parent)
    : QDialog(parent), settings_(settings), index_(account), account_(settings.accounts[account]) {
  setWindowTitle("Preferences");
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  pages_ = {ServerPage(), OptionsPage(),  Filter1Page(), Filter2Page(),
            MobilePage(), SchedulePage(), GeneralPage()};
  const char* names[] = {"Server", "Options",  "Filter-1", "Filter-2",
                         "Mobile", "Schedule", "General"};
  for (size_t i = 0; i < pages_.size(); ++i) tabs_->addTab(pages_[i], names[i]);
  layout->addWidget(tabs_);
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
    QDesktopServices::openUrl(QUrl::fromLocalFile(MainWindow::ShareDirectory() + "/" +
                                                  page(tabs_->currentIndex())->help_file()));
  });
  layout->addWidget(buttons);
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { ShowCurrent(); });
  ShowCurrent();
}

void PreferencesSheet::ShowCurrent() {
  PreferencePage* p = page(tabs_->currentIndex());
  if (!p->shown()) p->Show();
}

void PreferencesSheet::accept() {
  for (PreferencePage* p : pages_) p->Apply();
  QDialog::accept();
}

QWidget* PreferencesSheet::AccountHeader(PreferencePage* page, bool editable_name) {
  auto* group = new QGroupBox("Account preferences for:");
  auto* row = new QHBoxLayout(group);
  row->addWidget(new QLabel(QString("Account(%1)").arg(index_)));
  row->addSpacing(16);
  row->addWidget(new QLabel("Name:"));
  if (editable_name) {
    row->addWidget(
        page->Text("", sizeof account_.account_name, 253, account_.account_name, "account_name"),
        1);
  } else {
    auto* name = new QLabel;
    page->OnShow([this, name] { name->setText(FromSjis(GetText(account_.account_name))); });
    row->addWidget(name, 1);
  }
  return group;
}

PreferencePage* PreferencesSheet::ServerPage() {
  auto* page = new PreferencePage("help/help1.html", this);
  Account& a = account_;
  auto* v = new QVBoxLayout(page);
  v->addWidget(AccountHeader(page, true));
  auto* top = Row(v);
  QBoxLayout* box;
  auto* left = new QVBoxLayout;
  top->addLayout(left, 1);
  Group(left, "Main switch", box);
  page->Check(box, "Use this forwarding account", a.enabled, "enabled");
  Group(left, "Timer", box);
  auto* timer = Row(box);
  timer->addWidget(new QLabel("Check every"));
  timer->addWidget(page->Number(
      [&a] { return a.check_interval_minutes; },
      [&a](long long v) { a.check_interval_minutes = static_cast<int16_t>(Clamp(v, 1, 1440)); },
      "check_interval_minutes"));
  timer->addWidget(new QLabel("minutes"));
  timer->addStretch();
  Group(top, "Forward To: ( Insert a space letter to enter multiple addresses.)", box);
  box->addWidget(page->MultiLineText(sizeof a.forward_to, 255, a.forward_to, "forward_to"));

  Group(v, "Mailbox information", box);
  auto* grid = new QGridLayout;
  box->addLayout(grid);
  grid->addWidget(new QLabel("Address"), 0, 0);
  grid->addWidget(page->Text("", sizeof a.mail_address, 63, a.mail_address, "mail_address"), 0, 1,
                  1, 3);
  grid->addWidget(new QLabel("User ID"), 1, 0);
  grid->addWidget(page->Text("", sizeof a.pop3_user, 63, a.pop3_user, "pop3_user"), 1, 1);
  grid->addWidget(new QLabel("Password"), 1, 2);
  grid->addWidget(
      page->Text("", sizeof a.pop3_password, 63, a.pop3_password, "pop3_password", true), 1, 3);
  grid->addWidget(new QLabel("POP server"), 2, 0);
  grid->addWidget(page->Text("", sizeof a.pop3_server, 255, a.pop3_server, "pop3_server"), 2, 1);
  auto* pop_port = new QHBoxLayout;
  pop_port->addWidget(new QLabel("Port"));
  pop_port->addWidget(page->Number(
      [&a] { return static_cast<uint16_t>(a.pop3_port); },
      [&a](long long v) { a.pop3_port = static_cast<int16_t>(Clamp(v, 0, 65535)); }, "pop3_port"));
  pop_port->addWidget(new QLabel("(110)"));
  pop_port->addStretch();
  grid->addLayout(pop_port, 2, 2, 1, 2);
  grid->addWidget(page->Check(nullptr, "Use APOP Authentication", a.use_apop, "use_apop"), 3, 1);
  grid->addWidget(new QLabel("SMTP server"), 4, 0);
  grid->addWidget(page->Text("", sizeof a.smtp_server, 255, a.smtp_server, "smtp_server"), 4, 1);
  auto* smtp_port = new QHBoxLayout;
  smtp_port->addWidget(new QLabel("Port"));
  smtp_port->addWidget(page->Number(
      [&a] { return static_cast<uint16_t>(a.smtp_port); },
      [&a](long long v) { a.smtp_port = static_cast<int16_t>(Clamp(v, 0, 65535)); }, "smtp_port"));
  smtp_port->addWidget(new QLabel("(25)"));
  smtp_port->addStretch();
  auto* auth = new QPushButton("Auth");
  auth->setObjectName("auth");
  connect(auth, &QPushButton::clicked, this, [this] { OpenSmtpAuthentication(); });
  smtp_port->addWidget(auth);
  grid->addLayout(smtp_port, 4, 2, 1, 2);
  page->Check(v, "Delete incoming mails just after forwarding", a.delete_after_forward,
              "delete_after_forward");
  auto* kept =
      new QRadioButton("Delete incoming mails forwarded successfully except filtered ones.");
  auto* all = new QRadioButton("Delete all of incoming mails.");
  kept->setObjectName("delete_forwarded_only");
  all->setObjectName("delete_all_mail");
  auto* radios = new QVBoxLayout;
  radios->setContentsMargins(20, 0, 0, 0);
  radios->addWidget(kept);
  radios->addWidget(all);
  v->addLayout(radios);
  page->Radios(kept, all, a.delete_all_mail);
  v->addStretch();
  return page;
}

void PreferencesSheet::OpenSmtpAuthentication(const std::function<int(QDialog&)>& drive) {
  Account& a = account_;
  QDialog dialog(this);
  dialog.setWindowTitle("SMTP Authentication Preference");
  auto* layout = new QVBoxLayout(&dialog);
  auto* use = new QCheckBox("Use SMTP Authentication", &dialog);
  use->setObjectName("smtp_auth");
  use->setChecked(a.smtp_auth != 0);
  layout->addWidget(use);
  auto* grid = new QGridLayout;
  auto* user = new QLineEdit(FromSjis(GetText(a.smtp_auth_user)), &dialog);
  user->setObjectName("smtp_auth_user");
  user->setMaxLength(63);
  auto* password = new QLineEdit(FromSjis(GetText(a.smtp_auth_password)), &dialog);
  password->setObjectName("smtp_auth_password");
  password->setMaxLength(63);
  password->setEchoMode(QLineEdit::Password);
  grid->addWidget(new QLabel("User Name :"), 0, 0);
  grid->addWidget(user, 0, 1);
  grid->addWidget(new QLabel("Password :"), 1, 0);
  grid->addWidget(password, 1, 1);
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  int result = drive ? drive(dialog) : dialog.exec();
  if (result != QDialog::Accepted) return;
  // Written at once: they stay even when the sheet is cancelled.
  a.smtp_auth = use->isChecked() ? 1 : 0;
  SetText(a.smtp_auth_user, ToSjis(user->text(), 63));
  SetText(a.smtp_auth_password, ToSjis(password->text(), 63));
}

PreferencePage* PreferencesSheet::OptionsPage() {
  auto* page = new PreferencePage("help/help2.html", this);
  Account& a = account_;
  auto* v = new QVBoxLayout(page);
  v->addWidget(AccountHeader(page, false));
  auto* size_row = Row(v);
  size_row->addWidget(
      page->Check(nullptr, "Use filter by mail size", a.size_filter, "size_filter"));
  size_row->addWidget(new QLabel("When mail size is larger than"));
  size_row->addWidget(page->Number(
      [&a] { return a.size_limit_kb; },
      [&a](long long v) { a.size_limit_kb = static_cast<int32_t>(Clamp(v, 0, 0x7FFFFFFF)); },
      "size_limit_kb"));
  size_row->addWidget(new QLabel("Kbytes, use following option."));
  size_row->addStretch();
  auto* strip = new QRadioButton("Remove attached files and forward only text messages.");
  auto* skip = new QRadioButton("Don't forward this mail.");
  strip->setObjectName("size_filter_strip");
  skip->setObjectName("size_filter_skip");
  v->addWidget(strip);
  v->addWidget(skip);
  page->OnShow([&a, strip, skip] {
    strip->setChecked(a.size_filter_strip != 0);
    skip->setChecked(a.size_filter_skip != 0);
  });
  page->OnApply([&a, strip, skip] {
    a.size_filter_strip = strip->isChecked() ? 1 : 0;
    a.size_filter_skip = skip->isChecked() ? 1 : 0;
  });
  v->addWidget(new QLabel("(When using mobile phone option, always strip out attached files)"));
  page->Check(v, "Always forward HTML mails. (If unchecked, change to plain text)", a.forward_html,
              "forward_html");
  QBoxLayout* box;
  Group(v, "Starting up..", box);
  page->Check(box, "When starting, don't forward remaining mails in the mailbox",
              a.skip_existing_at_startup, "skip_existing_at_startup");
  QBoxLayout* advanced;
  Group(v, "Advanced options ( See 'HELP' for details. )", advanced);
  auto* columns = Row(advanced);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);
  Group(left, "Avoid the SMTP relay operation error", box);
  page->Check(box, "Add 'Resent-**' headers.  ( Checked by default )", a.add_resent_headers,
              "add_resent_headers");
  page->Check(box, "Put my adrs into 'From' and put original sender adrs into 'Reply-To:'",
              a.from_is_own_address, "from_is_own_address");
  Group(left, "Don't send following headers", box);
  auto* omit = Row(box);
  page->Check(omit, "Date:", a.omit_date, "omit_date");
  page->Check(omit, "Message-Id:", a.omit_message_id, "omit_message_id");
  page->Check(omit, "From: and Reply-To:", a.omit_from_reply_to, "omit_from_reply_to");
  Group(left, "Special header operations", box);
  page->Check(box, "Put destination-adrs(Forward To) into 'To' ", a.destination_in_to,
              "destination_in_to");
  page->Check(box, "Add my domain name to domain-less address", a.add_own_domain, "add_own_domain");
  Group(right, "Others", box);
  page->Check(box, "Set SMTP port manually", a.smtp_port_manual, "smtp_port_manual");
  page->Check(box, "Use reverse order of POP server", a.pop_reverse_order, "pop_reverse_order");
  page->Check(box, "Don't filter SMTP error mails", a.no_filter_smtp_errors,
              "no_filter_smtp_errors");
  QCheckBox* no_uidl =
      page->Check(box, "Don't use UIDL command of POP server", a.no_uidl_option, "no_uidl_option");
  page->OnApply([&a, no_uidl] { a.no_uidl = no_uidl->isChecked() ? 1 : 0; });
  page->Check(box, "Convert and forward all HTML/TEXT parts of HTML mails",
              a.convert_all_html_parts, "convert_all_html_parts");
  page->Check(box, "Use 'Non-blocking mode' ( Checked by default )", a.nonblocking, "nonblocking");
  v->addStretch();
  return page;
}

PreferencePage* PreferencesSheet::Filter1Page() {
  auto* page = new PreferencePage("help/help3.html", this);
  Account& a = account_;
  auto* v = new QVBoxLayout(page);
  v->addWidget(AccountHeader(page, false));
  QBoxLayout* box;
  Group(v, "Choose filtering mode ( This mode will be used for all Filters (-1 && -2) )", box);
  auto* deny =
      new QRadioButton("a)The mails, which include any specified words, will NOT be forwarded.");
  auto* allow =
      new QRadioButton("b)The mails, which include any specified words, WILL be forwarded.");
  deny->setObjectName("filter_mode_deny");
  allow->setObjectName("filter_mode_include");
  box->addWidget(deny);
  box->addWidget(new QLabel("      ( Use this if you want to remove unnecessary mails. )"));
  box->addWidget(allow);
  box->addWidget(new QLabel("      ( Use this if you want to forward only specified mails. )"));
  page->Radios(deny, allow, a.filter_mode_include);
  struct Filter {
    const char* label;
    int16_t* flag;
    char* words;
    const char* name;
  } filters[] = {
      {"Use filter by From: ( Insert a space to enter multiple words.)", &a.filter_from,
       a.filter_from_words, "filter_from"},
      {"Use filter by To: ( Insert a space to enter multiple words.)", &a.filter_to,
       a.filter_to_words, "filter_to"},
      {"Use filter by Cc: ( Insert a space to enter multiple words.)", &a.filter_cc,
       a.filter_cc_words, "filter_cc"},
  };
  for (const Filter& f : filters) {
    QCheckBox* check = page->Check(v, f.label, *f.flag, f.name);
    QPlainTextEdit* edit =
        page->MultiLineText(4098, 4096, f.words, (std::string(f.name) + "_words").c_str());
    v->addWidget(edit);
    int16_t* flag = f.flag;
    // An empty list switches its filter off.
    page->OnApply([check, edit, flag] {
      if (edit->toPlainText().trimmed().isEmpty()) *flag = 0;
      (void)check;
    });
  }
  v->addStretch();
  return page;
}

PreferencePage* PreferencesSheet::Filter2Page() {
  auto* page = new PreferencePage("help/help4.html", this);
  Account& a = account_;
  auto* v = new QVBoxLayout(page);
  v->addWidget(AccountHeader(page, false));
  auto* note = new QLabel(
      "The filtering process will be done by the mode you chose at the previous \"Filter-1\" page. "
      " Insert a space "
      "to enter multiple words, and if space letters are included in the key word, use \" \" to "
      "enclose it.");
  note->setWordWrap(true);
  v->addWidget(note);
  struct Filter {
    const char* label;
    int16_t* flag;
    char* words;
    const char* name;
    const char* hint;
  } filters[] = {
      {"Use filter by Subject:", &a.filter_subject, a.filter_subject_words, "filter_subject",
       nullptr},
      {"Use filter by X-Mailer:", &a.filter_mailer, a.filter_mailer_words, "filter_mailer",
       nullptr},
      {"Use filter by Date: ( Time Zone )", &a.filter_timezone, a.filter_timezone_words,
       "filter_timezone", "( e.g.  -10:00 Hawai, +08:00 Japan )"},
      {"Use filter by Content-Type: ( Code set )", &a.filter_charset, a.filter_charset_words,
       "filter_charset", "( e.g. US-ASCII  ISO-8859-1  ISO-8859-2  BIG5  HZ-GB-2312 )"},
  };
  for (const Filter& f : filters) {
    page->Check(v, f.label, *f.flag, f.name);
    QPlainTextEdit* edit =
        page->MultiLineText(4098, 4096, f.words, (std::string(f.name) + "_words").c_str());
    v->addWidget(edit);
    if (f.hint != nullptr) v->addWidget(new QLabel(f.hint));
    int16_t* flag = f.flag;
    page->OnApply([edit, flag] {
      if (edit->toPlainText().trimmed().isEmpty()) *flag = 0;
    });
  }
  QBoxLayout* box;
  Group(v, "SPAM filter ( Available when using 'a)' type filtering mode )", box);
  page->Check(box, "Don't forward mails which have no 'To:' header or no '@' letter in 'To:'.",
              a.require_to_address, "require_to_address");
  Group(v, "Prohibit bouncing mail", box);
  page->Check(box, "Don't forward mail from the destination(Forward To:) address.",
              a.skip_from_destination, "skip_from_destination");
  v->addStretch();
  return page;
}

PreferencePage* PreferencesSheet::MobilePage() {
  auto* page = new PreferencePage("help/help5.html", this);
  Account& a = account_;
  auto* v = new QVBoxLayout(page);
  v->addWidget(AccountHeader(page, false));
  // Values out of range are brought into it as soon as the page shows, and kept.
  page->OnShow([&a] {
    a.wrap_bytes = static_cast<int16_t>(Clamp(a.wrap_bytes, 16, 70));
    a.piece_delay_seconds = static_cast<int16_t>(Clamp(a.piece_delay_seconds, 1, 600));
  });
  QBoxLayout* box;
  Group(v, "Option for mobile phone", box);
  page->Check(box, "Use following options for mobile phone", a.mobile_enabled, "mobile_enabled");
  page->Check(box, "Break apart mails when forwarding to mobile phone", a.divide_enabled,
              "divide_enabled");
  auto* per = Row(box);
  per->addWidget(new QLabel("Break apart per"));
  per->addWidget(page->Number([&a] { return a.divide_bytes; },
                              [&a](long long v) {
                                if (v >= 1)
                                  a.divide_bytes = static_cast<int16_t>(Clamp(v, 1, 32767));
                              },
                              "divide_bytes"));
  per->addWidget(new QLabel("bytes and don't exceed "));
  per->addWidget(page->Number([&a] { return a.divide_max_pieces; },
                              [&a](long long v) {
                                if (v >= 1)
                                  a.divide_max_pieces = static_cast<int16_t>(Clamp(v, 1, 32767));
                              },
                              "divide_max_pieces"));
  per->addWidget(new QLabel("mail(s)."));
  per->addStretch();
  page->Check(box, "Add the mail number to the subject. ( e.g. 'nn1)Subject' nn=number )",
              a.number_in_subject, "number_in_subject");
  auto* delay = Row(box);
  delay->addWidget(page->Check(nullptr, "Insert delay when sending each mails (0-60sec)",
                               a.piece_delay_enabled, "piece_delay_enabled"));
  delay->addWidget(page->Number(
      [&a] { return a.piece_delay_seconds; },
      [&a](long long v) { a.piece_delay_seconds = static_cast<int16_t>(Clamp(v, 1, 60)); },
      "piece_delay_seconds"));
  delay->addWidget(new QLabel("sec"));
  delay->addStretch();
  page->Check(box, "Send broken apart mails in reverse order", a.pieces_reverse_order,
              "pieces_reverse_order");

  auto* columns = Row(v);
  Group(columns, "'Subject' Info.", box);
  auto* shorten = Row(box);
  shorten->addWidget(
      page->Check(nullptr, "Shorten 'Subject' in ", a.shorten_subject, "shorten_subject"));
  shorten->addWidget(page->Number(
      [&a] { return a.subject_max_bytes; },
      [&a](long long v) { a.subject_max_bytes = static_cast<int16_t>(Clamp(v, 4, 32)); },
      "subject_max_bytes", 40));
  shorten->addWidget(new QLabel("bytes"));
  auto* except_row = Row(box);
  except_row->addWidget(new QLabel("--"));
  auto* except = new QCheckBox("except the 1st broken apart mail");
  except->setObjectName("except_first_piece");
  except_row->addWidget(except);
  page->OnShow([&a, except] { except->setChecked(a.shorten_first_piece_subject == 0); });
  page->OnApply([&a, except] { a.shorten_first_piece_subject = except->isChecked() ? 0 : 1; });
  page->Check(box, "Add 'Subject' to top of mail body", a.add_subject_to_body,
              "add_subject_to_body");
  Group(columns, "'Sender' Info.", box);
  page->Check(box, "Add 'Sender' to top of mail body", a.add_sender_to_body, "add_sender_to_body");

  page->Check(v, "Use mail body filter by citation prefix", a.citation_filter, "citation_filter");
  auto* prefix = Row(v);
  prefix->addWidget(new QLabel("Citation prefix (insert space for mulitiple letters)"));
  prefix->addWidget(
      page->Text("", sizeof a.citation_prefixes, 1023, a.citation_prefixes, "citation_prefixes"),
      1);
  auto* remove_all = new QRadioButton("Remove all citation line");
  auto* keep_first = new QRadioButton("Remove except the 1st citation line");
  remove_all->setObjectName("citation_remove_all");
  keep_first->setObjectName("citation_keep_first");
  auto* radio_row = Row(v);
  radio_row->addWidget(remove_all);
  radio_row->addWidget(keep_first);
  page->Radios(remove_all, keep_first, a.citation_keep_first);

  Group(v, "Remove specified letters or lines", box);
  auto* letters = Row(box);
  page->Check(letters, "Space", a.remove_spaces, "remove_spaces");
  page->Check(letters, "Kanji space", a.remove_wide_spaces, "remove_wide_spaces");
  page->Check(letters, "Blank line", a.remove_blank_lines, "remove_blank_lines");
  page->Check(letters, "TAB", a.remove_tabs, "remove_tabs");
  page->Check(box, "Remove the same letters that continue to exceed 5 letters",
              a.remove_repeated_chars, "remove_repeated_chars");
  auto* original = Row(box);
  original->addWidget(page->Check(nullptr, "Remove", a.cut_after_original, "cut_after_original"));
  original->addWidget(page->Number([&a] { return a.cut_after_original_lines; },
                                   [&a](long long v) {
                                     if (v <= 32767)
                                       a.cut_after_original_lines = static_cast<int16_t>(v);
                                   },
                                   "cut_after_original_lines", 40));
  original->addWidget(new QLabel("lines under \" -- Original Message --\""));
  original->addStretch();
  auto* keyword = Row(box);
  keyword->addWidget(page->Check(nullptr, "Remove", a.cut_after_keyword, "cut_after_keyword"));
  keyword->addWidget(page->Number([&a] { return a.cut_keyword_lines; },
                                  [&a](long long v) {
                                    if (v <= 32767) a.cut_keyword_lines = static_cast<int16_t>(v);
                                  },
                                  "cut_keyword_lines", 40));
  keyword->addWidget(new QLabel("lines under"));
  QLineEdit* words = page->Text("", sizeof a.cut_keyword, 255, a.cut_keyword, "cut_keyword");
  keyword->addWidget(words, 1);
  page->OnApply([&a, words] {
    if (words->text().isEmpty()) a.cut_after_keyword = 0;
  });

  auto* lower = Row(v);
  Group(lower, "Headers / Additional info.", box);
  page->Check(box, "Use minimum headers", a.minimum_headers, "minimum_headers");
  page->Check(box, "Don't add the info of removed files.", a.omit_removed_file_info,
              "omit_removed_file_info");
  Group(lower, "Advanced Options ( Unchecking all boxes recommended )", box);
  page->Check(box, "Allow to send 8bit mails (ISO-8859-*, BIG5, GB2312)", a.allow_8bit,
              "allow_8bit");
  auto* wrap = Row(box);
  wrap->addWidget(page->Check(nullptr, "Insert CR into the body per specified bytes(16-70)",
                              a.wrap_enabled, "wrap_enabled"));
  wrap->addWidget(
      page->Number([&a] { return a.wrap_bytes; },
                   [&a](long long v) { a.wrap_bytes = static_cast<int16_t>(Clamp(v, 16, 70)); },
                   "wrap_bytes", 40));
  wrap->addWidget(new QLabel("bytes"));
  v->addStretch();
  return page;
}

PreferencePage* PreferencesSheet::SchedulePage() {
  auto* page = new PreferencePage("help/help7.html", this);
  Account& a = account_;
  auto* v = new QVBoxLayout(page);
  v->addWidget(AccountHeader(page, false));
  page->Check(v, "Use scheduler for this account", a.schedule_enabled, "schedule_enabled");
  v->addWidget(new QLabel("Check the time boxes you want to stop forwarding"));
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(2);
  grid->addWidget(new QLabel("AM"), 0, 1, 1, 12, Qt::AlignHCenter);
  grid->addWidget(new QLabel("PM"), 0, 13, 1, 12, Qt::AlignHCenter);
  for (int h = 0; h < 24; ++h)
    grid->addWidget(new QLabel(QString::number(h < 12 ? h : (h == 12 ? 12 : h - 12))), 1, h + 1,
                    Qt::AlignHCenter);
  const char* days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  for (int d = 0; d < 7; ++d) {
    grid->addWidget(new QLabel(days[d]), d + 2, 0);
    for (int h = 0; h < 24; ++h) {
      auto* box = new QCheckBox;
      box->setObjectName(QString("stop_%1_%2").arg(d).arg(h));
      grid->addWidget(box, d + 2, h + 1, Qt::AlignHCenter);
      page->OnShow(
          [&a, box, d, h] { box->setChecked((a.schedule_stop_hours[d] >> (23 - h) & 1u) != 0); });
      page->OnApply([&a, box, d, h] {
        uint32_t bit = 1u << (23 - h);
        if (h == 0) a.schedule_stop_hours[d] = 0;  // the word is rebuilt from its boxes
        if (box->isChecked()) a.schedule_stop_hours[d] |= bit;
      });
    }
  }
  v->addLayout(grid);
  page->Check(v,
              "Filter the emails which arrive at the specified time above and don't forward them "
              "even if the "
              "available time comes",
              a.schedule_hold_mail, "schedule_hold_mail");
  v->addStretch();
  return page;
}

PreferencePage* PreferencesSheet::GeneralPage() {
  auto* page = new PreferencePage("help/help6.html", this);
  GlobalSettings& g = settings_.global;
  auto* v = new QVBoxLayout(page);
  v->addWidget(new QLabel("Following options will be used for every account."));
  QBoxLayout* box;
  Group(v, "Starting up / Quitting", box);
  page->Check(box, "Connect to server immediately", g.connect_at_startup, "connect_at_startup");
  page->Check(box, "Put into tasktray immediately", g.tray_at_startup, "tray_at_startup");
  auto* password = Row(box);
  password->addWidget(page->Check(nullptr, "Require password when starting up",
                                  g.startup_password_required, "startup_password_required"));
  password->addWidget(
      page->Text("", sizeof g.startup_password, 10, g.startup_password, "startup_password", true));
  password->addWidget(new QLabel("(within 10 letters)"));
  page->Check(box, "Show prompting dialog when quitting.", g.confirm_quit, "confirm_quit");
  auto* quit = Row(box);
  quit->addWidget(page->Check(nullptr, "Delete all incoming mails when quitting",
                              g.delete_all_on_quit, "delete_all_on_quit"));
  auto* prompting = new QRadioButton("After prompting");
  auto* immediately = new QRadioButton("Immediately");
  prompting->setObjectName("delete_after_prompting");
  immediately->setObjectName("delete_on_quit_immediately");
  quit->addWidget(prompting);
  quit->addWidget(immediately);
  page->Radios(prompting, immediately, g.delete_on_quit_immediately);
  Group(v, "History log file ( Click LOG button to view )", box);
  page->Check(box, "If the same mail is found in the history log, don't forward it.",
              g.skip_if_in_history, "skip_if_in_history");
  auto* each = new QRadioButton("Check by each account");
  auto* all = new QRadioButton("Check all records of log file");
  each->setObjectName("history_check_each");
  all->setObjectName("history_check_all");
  auto* which = Row(box);
  which->addWidget(each);
  which->addWidget(all);
  page->Radios(each, all, g.history_check_all);
  page->Check(box, "Don't record the filtered mails into the history log.", g.history_skip_filtered,
              "history_skip_filtered");
  auto* halve = Row(box);
  halve->addWidget(page->Check(nullptr, "Discard half of the older history logs automatically",
                               g.history_auto_halve, "history_auto_halve"));
  halve->addWidget(new QLabel("when the history logs gets more than"));
  halve->addWidget(page->Number([&g] { return g.history_halve_threshold; },
                                [&g](long long v) {
                                  g.history_halve_threshold =
                                      static_cast<int32_t>(Clamp(v, 0, 0x7FFFFFFF));
                                },
                                "history_halve_threshold"));
  halve->addWidget(new QLabel("logs."));
  Group(v, "Dial-up Connection", box);
  page->Check(box, "Use default dial-up connection whenever a network is not present",
              g.use_autodial, "use_autodial");
  box->addWidget(new QLabel("( Dial-up settings in 'Control Panel/Internet Options' required )"));
  auto* lower = Row(v);
  Group(lower, "Receive buffer", box);
  auto* slider_row = Row(box);
  auto* slider = new QSlider(Qt::Horizontal);
  slider->setObjectName("receive_buffer_level");
  slider->setRange(1, 8);
  slider->setPageStep(1);
  slider_row->addWidget(new QLabel("MIN"));
  slider_row->addWidget(slider);
  slider_row->addWidget(new QLabel("MAX"));
  page->OnShow([&g, slider] { slider->setValue(g.receive_buffer_level); });
  page->OnApply([&g, slider] { g.receive_buffer_level = static_cast<int16_t>(slider->value()); });
  Group(lower, "Advanced Options", box);
  page->Check(box, "Enable logging for debug", g.debug_logging, "debug_logging");
  Group(v, "Send-Receive Timeout / Com Thread Timeout", box);
  auto* timeout = Row(box);
  timeout->addWidget(
      page->Check(nullptr, "Specify send-recv timeout", g.custom_timeout, "custom_timeout"));
  timeout->addWidget(page->Number(
      [&g] { return g.timeout_seconds; },
      [&g](long long v) { g.timeout_seconds = static_cast<int32_t>(Clamp(v, 0, 0x7FFFFFFF)); },
      "timeout_seconds"));
  timeout->addWidget(new QLabel("sec"));
  timeout->addStretch();
  auto* watchdog = Row(box);
  watchdog->addWidget(page->Check(nullptr,
                                  "Reboot communication process if it gets stuck for over ",
                                  g.watchdog_enabled, "watchdog_enabled"));
  watchdog->addWidget(page->Number(
      [&g] { return g.watchdog_minutes; },
      [&g](long long v) { g.watchdog_minutes = static_cast<int32_t>(Clamp(v, 10, 0x7FFFFFFF)); },
      "watchdog_minutes"));
  watchdog->addWidget(new QLabel("min"));
  watchdog->addStretch();
  v->addStretch();
  return page;
}

}  // namespace quillet
