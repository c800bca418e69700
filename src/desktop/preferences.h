#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QTabWidget>
#include <QWidget>
#include <functional>
#include <vector>

#include "store/settings.h"

class QBoxLayout;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace quillet {

// One page of the sheet: filled from the settings when first shown, written
// back on OK only when it was shown.
class PreferencePage : public QWidget {
  Q_OBJECT

 public:
  PreferencePage(QString help_file, QWidget* parent);
  void Show();
  void Apply();
  bool shown() const { return shown_; }
  const QString& help_file() const { return help_file_; }

 protected:
  friend class PreferencesSheet;
  // Controls bound to settings fields. Each binding fills and reads its control.
  // A check box for a 0/1 field of any width.
  template <typename T>
  QCheckBox* Check(QBoxLayout* layout, const QString& label, T& field, const char* name) {
    auto* box = MakeCheckBox(layout, label, name);
    OnShow([box, &field] { box->setChecked(field != 0); });
    OnApply([box, &field] { field = box->isChecked() ? 1 : 0; });
    return box;
  }
  QCheckBox* MakeCheckBox(QBoxLayout* layout, const QString& label, const char* name);
  QLineEdit* Text(const char* field_text, size_t size, size_t limit, char* field, const char* name,
                  bool hidden = false);
  QPlainTextEdit* MultiLineText(size_t size, size_t limit, char* field, const char* name);
  // A number edit: `show` gives the value to display, `apply` receives the entry.
  QLineEdit* Number(std::function<long long()> show, std::function<void(long long)> apply,
                    const char* name, int width = 60);
  void Radios(QRadioButton* zero, QRadioButton* one, int16_t& field);
  void OnShow(std::function<void()> f) { show_.push_back(std::move(f)); }
  void OnApply(std::function<void()> f) { apply_.push_back(std::move(f)); }

 private:
  QString help_file_;
  bool shown_ = false;
  std::vector<std::function<void()>> show_, apply_;
};

// "Preferences": seven pages for the current account and the global options.
class PreferencesSheet : public QDialog {
  Q_OBJECT

 public:
  PreferencesSheet(Settings& settings, int account, QWidget* parent);
  QTabWidget* tabs() { return tabs_; }
  PreferencePage* page(int i) { return pages_[static_cast<size_t>(i)]; }
  // The SMTP authentication dialog of the Server page. `drive`, when given,
  // stands in for the user: it fills the dialog and returns its result.
  void OpenSmtpAuthentication(const std::function<int(QDialog&)>& drive = {});
  void accept() override;

 private:
  void ShowCurrent();
  PreferencePage* ServerPage();
  PreferencePage* OptionsPage();
  PreferencePage* Filter1Page();
  PreferencePage* Filter2Page();
  PreferencePage* MobilePage();
  PreferencePage* SchedulePage();
  PreferencePage* GeneralPage();
  QWidget* AccountHeader(PreferencePage* page, bool editable_name);

  Settings& settings_;
  int index_;
  Account& account_;
  QTabWidget* tabs_ = nullptr;
  std::vector<PreferencePage*> pages_;
};

}  // namespace quillet
