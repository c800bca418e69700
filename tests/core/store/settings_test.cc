#include "store/settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "support/sandbox.h"

namespace quillet {
namespace {

using testing::SandboxTest;

// A settings image assembled by hand from the documented offsets, then stored
// with its nibbles exchanged, independently of the program's own writer.
class ImageBuilder {
 public:
  ImageBuilder() : image_(kSettingsFileSize, 0) { Text(0, "QUILLETS_V300"); }
  static size_t Acct(int k, size_t offset) {
    return 1100 + 33383 * static_cast<size_t>(k) + offset;
  }
  ImageBuilder& I16(size_t offset, int16_t v) { return Put(offset, &v, 2); }
  ImageBuilder& I32(size_t offset, int32_t v) { return Put(offset, &v, 4); }
  ImageBuilder& U8(size_t offset, uint8_t v) { return Put(offset, &v, 1); }
  ImageBuilder& Text(size_t offset, const std::string& s) {
    return Put(offset, s.data(), s.size());
  }
  ImageBuilder& Put(size_t offset, const void* p, size_t n) {
    std::memcpy(image_.data() + offset, p, n);
    return *this;
  }
  std::vector<uint8_t> FileBytes() const {
    std::vector<uint8_t> out = image_;
    for (uint8_t& b : out) b = static_cast<uint8_t>(((b & 0x0F) << 4) | ((b & 0xF0) >> 4));
    return out;
  }
  std::vector<uint8_t>& image() { return image_; }

 private:
  std::vector<uint8_t> image_;
};

// A valid image with every default the load fix-ups would otherwise repair.
ImageBuilder SaneImage() {
  ImageBuilder b;
  int16_t widths[6] = {90, 91, 92, 93, 94, 95};
  b.Put(16, widths, sizeof widths).I16(28, 700).I16(30, 400).I16(32, 10).I16(34, 20);
  b.I16(44, 1).I32(80, 60).I16(90, 1).I32(92, 30);
  for (int k = 0; k < 10; ++k) {
    b.Text(ImageBuilder::Acct(k, 1553), "> |").I16(ImageBuilder::Acct(k, 2597), 100);
    b.I16(ImageBuilder::Acct(k, 2599), 1).I16(ImageBuilder::Acct(k, 3641), 10);
    b.I16(ImageBuilder::Acct(k, 3907), 16).I16(ImageBuilder::Acct(k, 4143), 10);
  }
  return b;
}

class SettingsTest : public SandboxTest {
 protected:
  std::unique_ptr<Settings> Load(bool* data_is_current = nullptr) {
    auto s = std::make_unique<Settings>();
    SettingsPaths paths{dirs().current, dirs().config, false};
    LoadSettings(*s, paths, screen_);
    if (data_is_current != nullptr) *data_is_current = paths.data_is_current;
    return s;
  }
  void WriteImage(const std::string& dir, const std::vector<uint8_t>& bytes) {
    EnsureDirectory(dir);
    WriteFile(dir + "/quillet3.prf", bytes.data(), bytes.size());
  }
  ScreenSize screen_{1280, 1024};
};

TEST(SettingsLayout, FieldTablesTileTheRecordsExactly) {
  struct Case {
    std::span<const FieldInfo> table;
    size_t size;
  } cases[] = {{GlobalFields(), kGlobalSize}, {AccountFields(), kAccountSize}};
  for (const Case& c : cases) {
    std::vector<FieldInfo> fields(c.table.begin(), c.table.end());
    std::sort(fields.begin(), fields.end(),
              [](const FieldInfo& a, const FieldInfo& b) { return a.file_offset < b.file_offset; });
    size_t next = 0;
    for (const FieldInfo& f : fields) {
      EXPECT_EQ(f.file_offset, next) << f.name;
      next = f.file_offset + f.size;
    }
    EXPECT_EQ(next, c.size);
  }
  EXPECT_EQ(kSettingsFileSize, 334930u);
}

TEST_F(SettingsTest, NoFileAnywhereGivesTheDefaults) {
  bool current = true;
  auto s = Load(&current);
  EXPECT_FALSE(current);
  const GlobalSettings& g = s->global;
  EXPECT_STREQ(g.magic, "QUILLETS_V300");
  EXPECT_EQ(std::vector<int16_t>(g.history_column_widths, g.history_column_widths + 6),
            (std::vector<int16_t>{100, 100, 120, 250, 120, 120}));
  EXPECT_EQ(g.window_width, 825);
  EXPECT_EQ(g.window_height, 415);
  EXPECT_EQ(g.window_x, (1280 - 825) / 2);
  EXPECT_EQ(g.window_y, (1024 - 415) / 2);
  EXPECT_EQ(g.receive_buffer_level, 1);
  EXPECT_EQ(g.watchdog_enabled, 1);
  EXPECT_EQ(g.watchdog_minutes, 30);
  EXPECT_EQ(g.timeout_seconds, 60);
  EXPECT_EQ(g.connect_at_startup, 0);
  for (const Account& a : s->accounts) {
    EXPECT_EQ(a.pop3_port, 110);
    EXPECT_EQ(a.smtp_port, 25);
    EXPECT_EQ(a.check_interval_minutes, 10);
    EXPECT_EQ(a.divide_bytes, 100);
    EXPECT_EQ(a.divide_max_pieces, 1);
    EXPECT_STREQ(a.citation_prefixes, "> |");
    EXPECT_EQ(a.subject_max_bytes, 16);
    EXPECT_EQ(a.piece_delay_seconds, 10);
    EXPECT_EQ(a.size_filter_strip, 1);
    EXPECT_EQ(a.add_resent_headers, 1);
    EXPECT_EQ(a.nonblocking, 1);
    EXPECT_EQ(a.enabled, 0);
    EXPECT_EQ(a.pop3_server[0], '\0');
  }
}

TEST_F(SettingsTest, HandWrittenFileIsReadFieldByField) {
  ImageBuilder b = SaneImage();
  size_t a3 = ImageBuilder::Acct(3, 0);
  b.I16(40, 1).I16(48, 1).Text(50, "secret").I32(64, 500).I16(62, 1);
  b.Text(a3 + 0, "smtp.example.org").I16(a3 + 256, 1).Text(a3 + 322, "relayuser");
  b.Text(a3 + 386, "me@example.org").Text(a3 + 642, "a@x.org b@y.org");
  b.Text(a3 + 898, "pop.example.org").Text(a3 + 1154, "alice").Text(a3 + 1218, "pw");
  b.U8(a3 + 1282, 1).Text(a3 + 1283, "Work").I16(a3 + 4139, 995).I16(a3 + 4141, 587);
  b.I16(a3 + 4143, 5).I32(a3 + 4157, 300).Text(a3 + 16471, "\"big sale\" spam");
  b.I16(a3 + 32897, 1).I16(a3 + 32935, 42);
  uint32_t stop[7] = {0x800000, 0, 0, 0, 0, 0, 0x000001};
  b.Put(a3 + 32901, stop, sizeof stop);
  WriteImage(dirs().config, b.FileBytes());

  auto s = Load();
  EXPECT_EQ(s->global.debug_logging, 1);
  EXPECT_EQ(s->global.startup_password_required, 1);
  EXPECT_STREQ(s->global.startup_password, "secret");
  EXPECT_EQ(s->global.history_halve_threshold, 500);
  EXPECT_EQ(s->global.history_auto_halve, 1);
  EXPECT_EQ(s->global.window_x, 10);
  EXPECT_EQ(s->global.history_column_widths[5], 95);
  const Account& a = s->accounts[3];
  EXPECT_STREQ(a.smtp_server, "smtp.example.org");
  EXPECT_EQ(a.smtp_auth, 1);
  EXPECT_STREQ(a.smtp_auth_user, "relayuser");
  EXPECT_STREQ(a.mail_address, "me@example.org");
  EXPECT_STREQ(a.forward_to, "a@x.org b@y.org");
  EXPECT_STREQ(a.pop3_server, "pop.example.org");
  EXPECT_STREQ(a.pop3_user, "alice");
  EXPECT_STREQ(a.pop3_password, "pw");
  EXPECT_EQ(a.enabled, 1);
  EXPECT_STREQ(a.account_name, "Work");
  EXPECT_EQ(a.pop3_port, 995);
  EXPECT_EQ(a.smtp_port, 587);
  EXPECT_EQ(a.check_interval_minutes, 5);
  EXPECT_EQ(a.size_limit_kb, 300);
  EXPECT_STREQ(a.filter_subject_words, "\"big sale\" spam");
  EXPECT_EQ(a.no_uidl_option, 1);
  EXPECT_EQ(a.no_uidl, 1);  // the working copy follows the option
  EXPECT_EQ(a.mail_number, 42);
  EXPECT_EQ(a.schedule_stop_hours[0], 0x800000u);
  EXPECT_EQ(a.schedule_stop_hours[6], 1u);
  EXPECT_EQ(s->accounts[2].enabled, 0);
  EXPECT_EQ(s->accounts[2].pop3_port, 0);  // no defaults over a good file
}

TEST_F(SettingsTest, SavedFileHoldsEachValueAtItsOffsetWithNibblesExchanged) {
  auto s = Load();
  s->global.confirm_quit = 1;
  s->global.watchdog_minutes = 45;
  SetText(s->accounts[9].account_name, "Last");
  s->accounts[9].enabled = 1;
  s->accounts[9].mail_number = 77;
  s->accounts[9].schedule_stop_hours[2] = 0xABCDEF;
  SettingsPaths paths{dirs().current, dirs().config, false};
  ASSERT_TRUE(SaveSettings(*s, paths, screen_, nullptr));
  std::vector<uint8_t> file = ReadFile(dirs().config + "/quillet3.prf");
  ASSERT_EQ(file.size(), 334930u);
  auto plain = [&](size_t off) {
    uint8_t b = file[off];
    return static_cast<uint8_t>((b << 4) | (b >> 4));
  };
  auto i16 = [&](size_t off) { return static_cast<int16_t>(plain(off) | plain(off + 1) << 8); };
  EXPECT_EQ(file[0], 0x15);  // 'Q' = 0x51
  EXPECT_EQ(i16(88), 1);
  EXPECT_EQ(i16(92), 45);
  size_t a9 = ImageBuilder::Acct(9, 0);
  EXPECT_EQ(plain(a9 + 1282), 1);
  EXPECT_EQ(plain(a9 + 1283), 'L');
  EXPECT_EQ(plain(a9 + 1286), 't');
  EXPECT_EQ(i16(a9 + 32935), 77);
  EXPECT_EQ(plain(a9 + 32901 + 8), 0xEF);
  EXPECT_EQ(plain(a9 + 32901 + 10), 0xAB);
  EXPECT_EQ(i16(a9 + 4139), 110);
}

TEST_F(SettingsTest, LoadFixUpsRepairOutOfRangeValues) {
  ImageBuilder b = SaneImage();
  size_t a0 = ImageBuilder::Acct(0, 0), a1 = ImageBuilder::Acct(1, 0);
  int16_t widths[6] = {0, -5, 120, 250, 120, -7};
  b.Put(16, widths, sizeof widths).I16(32, -32000).I16(44, 9).I16(62, 1).I32(64, 0).I32(92, 5);
  b.I16(a0 + 2597, 50).I16(a0 + 2599, 0).I16(a0 + 3641, 700).I16(a0 + 3907, 0);
  b.Text(a0 + 1553, std::string(1024, '\0')).I16(a0 + 3901, 1).I16(a0 + 32897, 1);
  b.I16(a1 + 3641, 0).Text(a1 + 3643, "cut here").I16(a1 + 3901, 1);
  std::string long_name(254, 'n');  // no terminating NUL in the file
  b.Text(a1 + 1283, long_name);
  WriteImage(dirs().config, b.FileBytes());

  auto s = Load();
  const GlobalSettings& g = s->global;
  EXPECT_EQ(g.history_column_widths[0], 100);
  EXPECT_EQ(g.history_column_widths[1], 100);
  EXPECT_EQ(g.history_column_widths[5], -7);  // the sixth is not checked
  // The window was off screen: centred again with the widths as they were then.
  EXPECT_EQ(g.window_height, 415);
  EXPECT_EQ(g.window_width, 0 - 5 + 120 + 250 + 120 - 7 + 15);
  EXPECT_EQ(g.window_x, (1280 - g.window_width) / 2);
  EXPECT_EQ(g.window_y, (1024 - 415) / 2);
  EXPECT_EQ(g.receive_buffer_level, 1);
  EXPECT_EQ(g.history_auto_halve, 0);
  EXPECT_EQ(g.watchdog_minutes, 10);
  const Account& a = s->accounts[0];
  EXPECT_EQ(a.divide_bytes, 100);
  EXPECT_EQ(a.divide_max_pieces, 1);
  EXPECT_EQ(a.piece_delay_seconds, 10);
  EXPECT_EQ(a.subject_max_bytes, 16);
  EXPECT_STREQ(a.citation_prefixes, "> |");
  EXPECT_EQ(a.cut_after_keyword, 0);
  EXPECT_EQ(a.no_uidl, 1);
  EXPECT_EQ(s->accounts[1].piece_delay_seconds, 10);
  EXPECT_EQ(s->accounts[1].cut_after_keyword, 1);
  EXPECT_EQ(std::strlen(s->accounts[1].account_name), 253u);
}

TEST_F(SettingsTest, CurrentDirectoryFileWinsEvenWithAWrongMagic) {
  ImageBuilder good = SaneImage();
  good.U8(ImageBuilder::Acct(0, 1282), 1);
  WriteImage(dirs().config, good.FileBytes());
  ImageBuilder bad = SaneImage();
  bad.Text(0, "NOT_A_SETTINGS");
  WriteImage(dirs().current, bad.FileBytes());

  bool current = false;
  auto s = Load(&current);
  EXPECT_TRUE(current);
  EXPECT_EQ(s->accounts[0].enabled, 0);  // defaults, not the config file
  EXPECT_EQ(s->accounts[0].pop3_port, 110);

  SettingsPaths paths{dirs().current, dirs().config, true};
  ASSERT_TRUE(SaveSettings(*s, paths, screen_, nullptr));
  std::vector<uint8_t> saved = ReadFile(dirs().current + "/quillet3.prf");
  ASSERT_EQ(saved.size(), kSettingsFileSize);
  EXPECT_EQ(saved[0], 0x15);
}

TEST_F(SettingsTest, DamagedFilesNeverCrashAndGiveDefaultsOrAZeroTail) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool defaults;
  };
  std::vector<uint8_t> garbage(kSettingsFileSize);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 131 + 7);
  std::vector<uint8_t> oversized = SaneImage().FileBytes();
  oversized.resize(kSettingsFileSize * 3, 0xFF);
  std::vector<uint8_t> short_file = SaneImage().FileBytes();
  short_file.resize(1100 + 100);
  Case cases[] = {
      {"empty", {}, true},
      {"one byte", {0x15}, true},
      {"garbage", garbage, true},
      {"oversized", oversized, false},
      {"short with magic", short_file, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteImage(dirs().config, c.bytes);
    auto s = Load();
    if (c.defaults) {
      EXPECT_EQ(s->accounts[4].pop3_port, 110);
      EXPECT_EQ(s->global.window_width, 825);
    } else {
      EXPECT_EQ(s->accounts[4].pop3_port, 0);       // the tail stays zero
      EXPECT_EQ(s->accounts[4].divide_bytes, 100);  // but the fix-ups apply
    }
    for (const Account& a : s->accounts) EXPECT_LT(strnlen(a.forward_to, 256), 256u);
  }
}

TEST_F(SettingsTest, ReservedBytesSurviveALoadAndASave) {
  ImageBuilder b = SaneImage();
  b.Text(96, "global reserved").Text(ImageBuilder::Acct(2, 2601), "account reserved");
  b.U8(ImageBuilder::Acct(7, 32937 + 445), 0xA5);
  WriteImage(dirs().config, b.FileBytes());
  auto s = Load();
  SettingsPaths paths{dirs().current, dirs().config, false};
  ASSERT_TRUE(SaveSettings(*s, paths, screen_, nullptr));
  std::vector<uint8_t> saved = ReadFile(dirs().config + "/quillet3.prf");
  std::vector<uint8_t> original = b.FileBytes();
  for (size_t off : {size_t{96}, ImageBuilder::Acct(2, 2601), ImageBuilder::Acct(7, 32937 + 445)})
    EXPECT_EQ(saved[off], original[off]) << off;
  EXPECT_EQ(saved, original);
}

TEST_F(SettingsTest, SaveRecordsTheWindowRectangleOnlyWhenItIsOnScreen) {
  struct Case {
    WindowRect rect;
    int16_t x, y, w, h;
  } cases[] = {
      {{false, 40, 50, 940, 650}, 40, 50, 900, 600},
      {{true, 40, 50, 940, 650}, 10, 20, 700, 400},      // maximised
      {{false, 1280, 50, 1900, 650}, 10, 20, 700, 400},  // left edge off screen
      {{false, 40, 1024, 940, 1400}, 10, 20, 700, 400},  // top edge off screen
  };
  for (const Case& c : cases) {
    WriteImage(dirs().config, SaneImage().FileBytes());
    auto s = Load();
    SettingsPaths paths{dirs().current, dirs().config, false};
    SaveSettings(*s, paths, screen_, &c.rect);
    EXPECT_EQ(s->global.window_x, c.x);
    EXPECT_EQ(s->global.window_y, c.y);
    EXPECT_EQ(s->global.window_width, c.w);
    EXPECT_EQ(s->global.window_height, c.h);
  }
}

TEST_F(SettingsTest, SaveFallsBackToTheCurrentDirectoryWhenTheConfigDirectoryFails) {
  auto s = Load();
  // A file where the config directory should be makes it impossible to create.
  WriteFile(root() + "/blocked", "x");
  SettingsPaths paths{dirs().current, root() + "/blocked/quilletpost", false};
  ASSERT_TRUE(SaveSettings(*s, paths, screen_, nullptr));
  EXPECT_EQ(ReadFile(dirs().current + "/quillet3.prf").size(), kSettingsFileSize);
}

TEST(SwapNibbles, ExchangesHalvesAndIsItsOwnInverse) {
  uint8_t bytes[] = {0xAB, 0x00, 0xF0, 0x51};
  SwapNibbles(bytes, sizeof bytes);
  EXPECT_EQ(bytes[0], 0xBA);
  EXPECT_EQ(bytes[2], 0x0F);
  EXPECT_EQ(bytes[3], 0x15);
  SwapNibbles(bytes, sizeof bytes);
  EXPECT_EQ(bytes[0], 0xAB);
}

TEST(SplitWordList, CutsAtBlanksOutsideQuotes) {
  struct Case {
    const char* text;
    int max;
    std::vector<std::string> words;
  } cases[] = {
      {"abc \"x y\" def", 10, {"abc", "x y", "def"}},
      {"   ", 10, {}},
      {"", 10, {}},
      {"one two three", 2, {"one", "two"}},
      {"  lead  and   trail  ", 10, {"lead", "and", "trail"}},
      {"\"> \" |", 20, {"> ", "|"}},
      {"a\"b c\"d e", 10, {"ab cd", "e"}},
  };
  for (const Case& c : cases) {
    char buffer[64] = {};
    std::strcpy(buffer, c.text);
    char* words[20];
    int n = SplitWordList(buffer, sizeof buffer, words, c.max);
    std::vector<std::string> got(words, words + n);
    EXPECT_EQ(got, c.words) << c.text;
  }
}

TEST(SplitWordList, StaysInsideAFullBuffer) {
  char buffer[8];
  std::memcpy(buffer, "abc defg", 8);  // no NUL anywhere
  char* words[4];
  int n = SplitWordList(buffer, sizeof buffer, words, 4);
  ASSERT_EQ(n, 2);
  EXPECT_STREQ(words[0], "abc");
  EXPECT_STREQ(words[1], "def");
}

TEST(AccountChecks, IncompleteAccountsAndLabels) {
  auto s = std::make_unique<Settings>();
  ApplyDefaults(*s, ScreenSize{});
  EXPECT_EQ(FindIncompleteAccount(*s), -1);  // nothing enabled
  auto fill = [](Account& a) {
    SetText(a.pop3_server, "pop");
    SetText(a.smtp_server, "smtp");
    SetText(a.mail_address, "me@x");
    SetText(a.forward_to, "you@y");
    SetText(a.pop3_user, "alice");
    a.enabled = 1;
  };
  fill(s->accounts[1]);
  fill(s->accounts[4]);
  EXPECT_EQ(FindIncompleteAccount(*s), -1);
  EXPECT_TRUE(IsAccountComplete(s->accounts[1]));
  for (auto clear :
       {+[](Account& a) { a.pop3_server[0] = 0; }, +[](Account& a) { a.smtp_server[0] = 0; },
        +[](Account& a) { a.mail_address[0] = 0; }, +[](Account& a) { a.forward_to[0] = 0; },
        +[](Account& a) { a.pop3_user[0] = 0; }}) {
    fill(s->accounts[4]);
    clear(s->accounts[4]);
    EXPECT_EQ(FindIncompleteAccount(*s), 4);
    EXPECT_FALSE(IsAccountComplete(s->accounts[4]));
  }
  s->accounts[4].enabled = 0;
  EXPECT_EQ(FindIncompleteAccount(*s), -1);  // a disabled account is not checked

  Account& a = s->accounts[2];
  EXPECT_EQ(AccountLabel(a), "");
  EXPECT_EQ(AccountLabelOrIndex(a, 2), "Account(2)");
  SetText(a.pop3_user, "bob");
  EXPECT_EQ(AccountLabel(a), "(bob)");
  EXPECT_EQ(AccountLabelOrIndex(a, 2), "(bob)");
  SetText(a.account_name, "Home");
  EXPECT_EQ(AccountLabel(a), "Home");
}

}  // namespace
}  // namespace quillet
