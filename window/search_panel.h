// Search mode's group box, GroupBoxRecherche: the six search masks, the search
// options and the rules that tie them together, and the recent searches that
// Com_search1 recalls. With the volume masks and the options of the left
// column it produces the SearchControls of a run.
#pragma once

#include <array>
#include <string>

#include "engine/command_vectors.h"
#include "window/recent_searches.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace shelvo {

class ModeColumn;
class VolumeMaskBox;

class SearchPanel {
public:
  SearchPanel(QWidget* form, ModeColumn& column, VolumeMaskBox& volume_masks);

  void show();
  void hide();
  bool shown() const;
  void apply_advanced(bool on);

  // The run's controls, with Add Stars applied to the masks when it is checked
  // (the edits themselves are not changed: show_masks does that once the run
  // is sure to start).
  SearchControls controls(const std::string& catalog_path) const;
  void show_masks(const SearchControls& controls);

  // The recent searches: the current one remembered, one recalled (item of
  // Com_search1), and the list shown again after the table was loaded.
  void PushRecentSearch();
  void Com_search1Change(int item, bool advanced_mode);
  void show_recent_searches();
  RecentSearchTable& recent_searches() { return recent_searches_; }
  // The recall list dropped down from the keyboard (Alt+Down or F4 in the first mask).
  void open_recall_list();
  // Com_search1, whose picks TForm1 hands to Com_search1Change.
  QComboBox* recall_list() const;

  // The rules of the directory options.
  void Che_containsdirClick();
  void Che_onlydirectoryClick();

  QLineEdit* mask(std::size_t k) const { return Ed_search[k]; }
  QLineEdit* first_field() const { return Ed_search[0]; }
  QCheckBox* archive() const { return Che_archive; }
  QCheckBox* directory() const { return Che_directory; }
  QCheckBox* contains_dir() const { return Che_containsdir; }
  QCheckBox* only_directory() const { return Che_onlydirectory; }
  QCheckBox* add_star() const { return Che_addstar; }

private:
  ModeColumn& column_;
  VolumeMaskBox& volume_masks_;
  RecentSearchTable recent_searches_;

  QGroupBox* GroupBoxRecherche = nullptr;
  QLabel* Lab_help1 = nullptr;
  QLabel* Lab_help2 = nullptr;
  QLabel* Lab_help3 = nullptr;
  QComboBox* Com_search1 = nullptr;
  QCheckBox* Che_directory = nullptr;
  QCheckBox* Che_archive = nullptr;
  std::array<QLineEdit*, 6> Ed_search{};
  QCheckBox* Che_containsdir = nullptr;
  QCheckBox* Che_onlydirectory = nullptr;
  QCheckBox* Che_addstar = nullptr;
};

} // namespace shelvo
