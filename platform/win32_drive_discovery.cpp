// Drive discovery on Windows: the drives are the system's own letters, and a
// volume's label is the one the system keeps for it.
#include "platform/drive_discovery.h"

#include "platform/win32_text.h"

#include <windows.h>

namespace shelvo {

DriveTable automatic_drive_table(const std::string&, const std::string&) {
  DriveTable table;
  std::wstring letters(4 * 26 + 1, L'\0');
  const DWORD n = ::GetLogicalDriveStringsW(static_cast<DWORD>(letters.size()), letters.data());
  if (n == 0 || n > letters.size()) return table;
  // "C:\<nul>D:\<nul>...<nul>"
  for (const wchar_t* root = letters.c_str(); *root; root += std::wcslen(root) + 1) {
    const wchar_t letter = root[0] >= L'a' && root[0] <= L'z' ? root[0] - L'a' + L'A' : root[0];
    if (letter < L'A' || letter > L'Z' || root[1] != L':') continue;
    table.set({static_cast<char>(letter), std::string(1, static_cast<char>(letter)) + ":/", std::nullopt});
  }
  return table;
}

std::string file_system_label(const std::string& directory) {
  std::wstring root = wide_of(directory);
  if (root.empty()) return {};
  for (wchar_t& c : root)
    if (c == L'/') c = L'\\';
  if (root.back() != L'\\') root += L'\\';
  wchar_t label[MAX_PATH + 1] = {};
  // Only a volume's root has a label; another directory gives none.
  if (!::GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) return {};
  return utf8_of(label);
}

} // namespace shelvo
