// The result area: TreeView1 over the core's result tree (through its model),
// "Please wait..." and the progress bar behind it, the status line, and the sort
// column beside it. Its actions work on the finished tree: sorting, expanding,
// and, from the keyboard as from the mouse, opening a found file or folder and
// deleting a listed volume, which the window decides on.
#pragma once

#include <QPoint>
#include <QSize>

#include <functional>

#include "results/result_tree.h"

class QAction;
class QModelIndex;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;
class QWidget;

namespace shelvo {

class DialogService;
class ResultTreeModel;

// What the tree's actions may do with a node (a row the user chose).
struct TreeActionsAllowed {
  bool open = false;         // open it, and the folder that holds it
  bool delete_volume = false;
};

class ResultArea {
public:
  explicit ResultArea(QWidget* form);
  ~ResultArea();
  ResultArea(const ResultArea&) = delete;
  ResultArea& operator=(const ResultArea&) = delete;

  // The layout rules for the client area's size.
  void layout(QSize client);
  // The sort column in a mode: Expand All and Reduce All shown in Search mode,
  // hidden in List volumes mode, kept in Add drive mode; autoexpand with them
  // in advanced mode.
  void show_for_search(bool advanced_mode);
  void show_for_list();
  void apply_advanced(bool on, bool search_shown);
  // The tree's colour for the only-total option; clear: empty it too.
  void apply_only_total(bool checked, bool clear);

  // A search fills the tree unseen, behind "Please wait...", and shows it whole.
  void hide_for_search();
  void show_after_search();
  void set_sorted_by_date(bool date);

  void Bou_sortbynameClick(DialogService& dialogs);
  void Bou_sortbysizeClick(DialogService& dialogs);
  void Bou_expandallClick();
  void Bou_collapseallClick();
  bool autoexpand() const;

  ResultTree& tree() { return tree_; }
  ResultTreeModel& model() { return *model_; }
  QTreeView* view() const { return TreeView1; }
  QLabel* status() const { return Lab_status; }
  QProgressBar* progress() const { return ProgressBar1; }
  QCheckBox* reverse_sort() const { return Che_reversesort; }
  QCheckBox* autoexpand_box() const { return Che_autoexpand; }
  // The width the tree's column needs so that every padded file line shows whole.
  int padded_line_width() const { return padded_width_; }

  // A mouse button pressed on the tree, at a point of its viewport.
  std::function<void(Qt::MouseButton, QPoint)> on_mouse_down;
  // What the actions may do with a node, and doing it: open (folder: the
  // folder that holds the node), delete a listed volume.
  std::function<TreeActionsAllowed(NodeId)> allowed;
  std::function<void(NodeId, bool folder)> on_open;
  std::function<void(NodeId)> on_delete;

  // The actions of the current row, as the keyboard and the context menu give them.
  QAction* open_action() const { return open_; }
  QAction* open_folder_action() const { return open_folder_; }
  QAction* delete_action() const { return delete_; }

private:
  class Watcher;
  int weight(NodeId node, int level) const;
  void measure_all();
  void measure(const QModelIndex& parent, int first, int last);
  void apply_column_width();
  NodeId current_node() const;
  void show_context_menu();

  ResultTree tree_;
  ResultTreeModel* model_ = nullptr;
  Watcher* watcher_ = nullptr;
  int padded_width_ = 0;
  int character_width_ = 0;
  NodeId longest_ = no_node; // the longest line's node, its level and weight
  int longest_level_ = 0;
  int longest_weight_ = -1;

  QLabel* Panel1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QTreeView* TreeView1 = nullptr;
  QLabel* Lab_status = nullptr;
  QLabel* Lab_found = nullptr;
  QPushButton* Bou_sortbyname = nullptr;
  QPushButton* Bou_sortbysize = nullptr;
  QCheckBox* Che_reversesort = nullptr;
  QPushButton* Bou_expandall = nullptr;
  QPushButton* Bou_collapseall = nullptr;
  QCheckBox* Che_autoexpand = nullptr;
  QAction* open_ = nullptr;
  QAction* open_folder_ = nullptr;
  QAction* delete_ = nullptr;
};

} // namespace shelvo
