#include "store/uidl_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "support/sandbox.h"

namespace quillet {
namespace {

class UidlStoreTest : public testing::SandboxTest {
 protected:
  std::string Path() { return dirs().config + "/qlt3uidl.mbx"; }
  static void SetUid(MailboxState& st, int i, const char* id) {
    std::strncpy(st.uid_records[i].text, id, kUidRecordSize - 1);
  }
  std::unique_ptr<MailboxStates> Load() {
    auto states = std::make_unique<MailboxStates>();
    LoadUidlStore(Path(), kSettingsMagicField, *states);
    return states;
  }
  static constexpr char kSettingsMagicField[16] = "QUILLETS_V300";
};

TEST_F(UidlStoreTest, RoundTripKeepsEveryListAndHasTheDocumentedLayout) {
  auto states = std::make_unique<MailboxStates>();
  (*states)[0].uid_count = 2;
  SetUid((*states)[0], 0, "id-a");
  SetUid((*states)[0], 1, "id-b");
  (*states)[9].uid_count = 4096;
  SetUid((*states)[9], 4095, "last");
  ASSERT_TRUE(SaveUidlStore(Path(), *states));

  std::vector<uint8_t> file = ReadFile(Path());
  ASSERT_EQ(file.size(), 2949176u);
  int32_t count9;
  std::memcpy(&count9, file.data() + 294916 * 9, 4);
  EXPECT_EQ(count9, 4096);
  EXPECT_STREQ(reinterpret_cast<const char*>(file.data() + 4 + 72), "id-b");
  EXPECT_STREQ(reinterpret_cast<const char*>(file.data() + 294916 * 9 + 4 + 72 * 4095), "last");
  EXPECT_STREQ(reinterpret_cast<const char*>(file.data() + 2949160), "QUILLETS_V300");

  auto loaded = Load();
  EXPECT_EQ((*loaded)[0].uid_count, 2);
  EXPECT_STREQ((*loaded)[0].uid_records[1].text, "id-b");
  EXPECT_EQ((*loaded)[9].uid_count, 4096);
  EXPECT_STREQ((*loaded)[9].uid_records[4095].text, "last");
}

TEST_F(UidlStoreTest, DamagedStoresGiveEmptyListsExactlyWhereTheyMust) {
  auto states = std::make_unique<MailboxStates>();
  for (int k = 0; k < kAccountCount; ++k) {
    (*states)[k].uid_count = 1;
    SetUid((*states)[k], 0, "keep");
  }
  ASSERT_TRUE(SaveUidlStore(Path(), *states));
  std::vector<uint8_t> good = ReadFile(Path());

  // A count out of range empties that account only.
  std::vector<uint8_t> bad_count = good;
  int32_t five_thousand = 5000;
  std::memcpy(bad_count.data() + 294916 * 3, &five_thousand, 4);
  WriteFile(Path(), bad_count.data(), bad_count.size());
  auto loaded = Load();
  EXPECT_EQ((*loaded)[3].uid_count, 0);
  EXPECT_EQ((*loaded)[2].uid_count, 1);
  EXPECT_EQ((*loaded)[4].uid_count, 1);

  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> wrong_magic = good;
  wrong_magic[2949160] = 'X';
  std::vector<uint8_t> short_file(good.begin(), good.begin() + 1000000);
  Case emptied[] = {{"wrong magic", wrong_magic}, {"short", short_file}, {"empty", {}}};
  for (const Case& c : emptied) {
    SCOPED_TRACE(c.what);
    WriteFile(Path(), c.bytes.data(), c.bytes.size());
    loaded = Load();
    for (const MailboxState& st : *loaded) {
      EXPECT_EQ(st.uid_count, 0);
      EXPECT_EQ(st.uid_records[0].text[0], '\0');
    }
  }
}

TEST_F(UidlStoreTest, UnterminatedIdsAreCutAtSeventyBytes) {
  std::vector<uint8_t> file(2949176, 'z');
  int32_t one = 1;
  for (int k = 0; k < kAccountCount; ++k) std::memcpy(file.data() + 294916 * k, &one, 4);
  std::memset(file.data() + 2949160, 0, 16);
  std::memcpy(file.data() + 2949160, "QUILLETS_V300", 13);
  ASSERT_TRUE(EnsureDirectory(dirs().config));
  WriteFile(Path(), file.data(), file.size());
  auto loaded = Load();
  EXPECT_EQ(std::strlen((*loaded)[5].uid_records[7].text), 70u);
}

TEST_F(UidlStoreTest, MissingStoreKeepsTheListsEmpty) {
  auto loaded = Load();
  EXPECT_EQ((*loaded)[0].uid_count, 0);
}

}  // namespace
}  // namespace quillet
