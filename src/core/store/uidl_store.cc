#include "store/uidl_store.h"

#include <cstring>
#include <fstream>
#include <vector>

#include "platform/paths.h"

namespace quillet {

void LoadUidlStore(const std::string& path, const char (&settings_magic)[16],
                   MailboxStates& states) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return;
  std::vector<char> file(kUidlStoreFileSize, 0);
  in.read(file.data(), static_cast<std::streamsize>(file.size()));
  const char* p = file.data();
  for (MailboxState& st : states) {
    std::memcpy(&st.uid_count, p, 4);
    std::memcpy(st.uid_records.data(), p + 4, kMaxUids * kUidRecordSize);
    if (st.uid_count < 0 || st.uid_count > kMaxUids) st.uid_count = 0;
    // Every stored ID is read as a NUL-terminated text of at most 70 bytes.
    for (UidRecord& r : st.uid_records) r.text[kMaxUidLength] = '\0';
    p += kUidlAccountBlock;
  }
  char magic[32] = {};
  std::memcpy(magic, p, 16);
  if (std::strncmp(magic, settings_magic, 16) != 0) {
    for (MailboxState& st : states) st.Clear();
  }
}

bool SaveUidlStore(const std::string& path, const MailboxStates& states) {
  std::vector<char> file(kUidlStoreFileSize, 0);
  char* p = file.data();
  for (const MailboxState& st : states) {
    std::memcpy(p, &st.uid_count, 4);
    std::memcpy(p + 4, st.uid_records.data(), kMaxUids * kUidRecordSize);
    p += kUidlAccountBlock;
  }
  std::memcpy(p, kSettingsMagic, sizeof kSettingsMagic);
  auto slash = path.find_last_of('/');
  if (slash != std::string::npos) EnsureDirectory(path.substr(0, slash));
  return WriteFileAtomically(path, file.data(), file.size());
}

}  // namespace quillet
