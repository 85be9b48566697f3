#include "window/result_area.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCollator>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <vector>

#include "results/dialog_service.h"
#include "results/tree_actions.h"
#include "window/colours.h"
#include "window/design.h"
#include "window/result_tree_model.h"
#include "window/screen_text.h"

namespace shelvo {

namespace {

// The indent of the tree per level, in pixels.
constexpr int tree_indent = 19;
// The deepest level at which a file line's name is still padded.
constexpr unsigned deepest_padded_level = 26;

// The room a line takes besides its text at a level: its indent (the root's
// decoration is one more) and the item's text margins.
int line_room(const QTreeView* tree, unsigned level) {
  const int margins = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1);
  return static_cast<int>(level + 2) * tree_indent + margins;
}

// The width the tree's one column needs so that every padded file line shows
// whole, at whatever depth.
int widest_padded_line(const QTreeView* tree) {
  const QFontMetrics metrics(tree->font());
  int widest = 0;
  for (unsigned level = 0; level <= deepest_padded_level; ++level) {
    const QString line = QString::fromStdString(format_file_line("", level, 0, 0, 0, 0, 0, 0));
    widest = std::max(widest, line_room(tree, level) + metrics.horizontalAdvance(line));
  }
  return widest;
}

// Rows with room for the accent of a capital (É, Ö, Ç): the fixed-pitch font at
// the tree's size draws it above its ascent, where a row as high as the font
// cut it off, and a search tells É from E. The text sits on the row's bottom,
// its accents in the room above.
class AccentRoomDelegate final : public QStyledItemDelegate {
public:
  explicit AccentRoomDelegate(const QFont& font, QObject* parent) : QStyledItemDelegate(parent) {
    const QFontMetrics metrics(font);
    const int accent_top = -metrics.tightBoundingRect(QStringLiteral("\u00C0\u00C9\u00CA\u00D6\u00DC\u00C7\u00C5")).top();
    row_height_ = std::max(metrics.height(), accent_top + metrics.descent() + 1);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), row_height_));
    return size;
  }

protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->displayAlignment = Qt::AlignLeft | Qt::AlignBottom;
  }

private:
  int row_height_ = 0;
};

} // namespace

// Watches the tree for what the area does itself: a mouse button on its rows,
// and the changes of its model that can widen its column.
class ResultArea::Watcher final : public QObject {
public:
  explicit Watcher(ResultArea& area) : area_(area) {}

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == area_.TreeView1->viewport() && event->type() == QEvent::MouseButtonPress && area_.on_mouse_down) {
      const auto* press = static_cast<QMouseEvent*>(event);
      area_.on_mouse_down(press->button(), press->position().toPoint());
    }
    return false;
  }

private:
  ResultArea& area_;
};

ResultArea::ResultArea(QWidget* form) {
  Panel1 = place(new QLabel(QStringLiteral("Please wait..."), form), "Panel1", 8, 144, 433, 161);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setAlignment(Qt::AlignCenter);
  Panel1->setEnabled(false);
  set_background(Panel1, form->palette().color(QPalette::Base));
  ProgressBar1 = place(new QProgressBar(form), "ProgressBar1", 16, 304, 409, 17);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  TreeView1 = place(new QTreeView(form), "TreeView1", 8, 144, 593, 161);
  TreeView1->setFont(terminal_font(10));
  TreeView1->setIndentation(tree_indent);
  TreeView1->setHeaderHidden(true);
  TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView1->setUniformRowHeights(true);
  TreeView1->setItemDelegate(new AccentRoomDelegate(TreeView1->font(), TreeView1));
  TreeView1->setTextElideMode(Qt::ElideNone); // the default elision eats the date column
  TreeView1->header()->setStretchLastSection(false);
  TreeView1->header()->setSectionResizeMode(QHeaderView::Fixed);
  padded_width_ = widest_padded_line(TreeView1);
  TreeView1->header()->setDefaultSectionSize(padded_width_);
  TreeView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  TreeView1->setContextMenuPolicy(Qt::PreventContextMenu);
  Lab_status = place(new QLabel(QStringLiteral("(none)"), form), "Lab_status", 72, 328, 1000, 17);
  // At 9 pixels the longest line, a stopped search's, fits beside "Found:" in
  // the design's width.
  Lab_status->setFont(terminal_font(9));
  Lab_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Lab_found = place(new QLabel(QStringLiteral("Found:"), form), "Lab_found", 24, 344, 41, 13);
  Bou_sortbyname = place(new QPushButton(QStringLiteral("Sort by Name"), form), "Bou_sortbyname", 608, 146, 73, 17);
  Bou_sortbysize = place(new QPushButton(QStringLiteral("Sort by Size"), form), "Bou_sortbysize", 608, 163, 73, 17);
  Che_reversesort = place(new QCheckBox(QStringLiteral("reverse sort"), form), "Che_reversesort", 608, 180, 73, 17);
  Bou_expandall = place(new QPushButton(QStringLiteral("Expand All"), form), "Bou_expandall", 608, 216, 73, 17);
  Bou_collapseall = place(new QPushButton(QStringLiteral("Reduce All"), form), "Bou_collapseall", 608, 233, 73, 17);
  Che_autoexpand = place(new QCheckBox(QStringLiteral("autoexpand"), form), "Che_autoexpand", 608, 250, 79, 17);

  model_ = new ResultTreeModel(tree_, form);
  TreeView1->setModel(model_);
  watcher_ = new Watcher(*this);
  TreeView1->viewport()->installEventFilter(watcher_);
  // A tree built anew starts at its left edge, where the names are; its column
  // is as wide as its longest line, so a scroll bar reaches every line's end.
  character_width_ = QFontMetrics(TreeView1->font()).horizontalAdvance(QLatin1Char('0'));
  QObject::connect(model_, &QAbstractItemModel::modelReset, TreeView1, [this] {
    if (!model_->frozen()) measure_all();
    TreeView1->horizontalScrollBar()->setValue(0);
  });
  QObject::connect(model_, &QAbstractItemModel::rowsInserted, TreeView1,
                   [this](const QModelIndex& parent, int first, int last) { measure(parent, first, last); });
  QObject::connect(model_, &QAbstractItemModel::dataChanged, TreeView1,
                   [this](const QModelIndex& from, const QModelIndex& to) {
                     measure(from.parent(), from.row(), to.row());
                   });

  QObject::connect(Bou_expandall, &QPushButton::clicked, TreeView1, [this] { Bou_expandallClick(); });
  QObject::connect(Bou_collapseall, &QPushButton::clicked, TreeView1, [this] { Bou_collapseallClick(); });

  // The actions on the current row: what a right click does, from the keyboard
  // too (Enter opens, Ctrl+Enter opens the folder, Delete deletes a listed
  // volume; Shift+F10 and the Menu key show them all).
  const auto action = [&](const char* name, const QString& text, QList<QKeySequence> keys) {
    auto* a = new QAction(text, TreeView1);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcuts(keys);
    a->setShortcutContext(Qt::WidgetShortcut);
    TreeView1->addAction(a);
    return a;
  };
  open_ = action("TreeOpen", QStringLiteral("&Open"), {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
  open_folder_ = action("TreeOpenFolder", QStringLiteral("Open the &Folder"),
                        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
  delete_ = action("TreeDelete", QStringLiteral("&Delete this Volume..."), {QKeySequence(QKeySequence::Delete)});
  QAction* menu = action("TreeMenu", QStringLiteral("Actions"),
                         {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)});
  const auto run = [this](bool folder) {
    const NodeId node = current_node();
    if (node == no_node || !allowed || !on_open || !allowed(node).open) return;
    on_open(node, folder);
  };
  QObject::connect(open_, &QAction::triggered, TreeView1, [run] { run(false); });
  QObject::connect(open_folder_, &QAction::triggered, TreeView1, [run] { run(true); });
  QObject::connect(delete_, &QAction::triggered, TreeView1, [this] {
    const NodeId node = current_node();
    if (node != no_node && allowed && on_delete && allowed(node).delete_volume) on_delete(node);
  });
  QObject::connect(menu, &QAction::triggered, TreeView1, [this] { show_context_menu(); });
}

ResultArea::~ResultArea() {
  TreeView1->viewport()->removeEventFilter(watcher_);
  delete watcher_;
  TreeView1->setModel(nullptr);
  // The model watches tree_, a member: it must go before the members do, not
  // with the window's children afterwards.
  delete model_;
}

NodeId ResultArea::current_node() const {
  const QModelIndex at = TreeView1->currentIndex();
  return at.isValid() ? model_->node_of(at) : no_node;
}

void ResultArea::show_context_menu() {
  const NodeId node = current_node();
  if (node == no_node || !allowed) return;
  const TreeActionsAllowed can = allowed(node);
  if (!can.open && !can.delete_volume) return;
  QMenu menu(TreeView1);
  menu.setObjectName(QStringLiteral("TreeMenu"));
  if (can.open) {
    menu.addAction(open_);
    menu.addAction(open_folder_);
  }
  if (can.delete_volume) menu.addAction(delete_);
  const QRect row = TreeView1->visualRect(TreeView1->currentIndex());
  menu.exec(TreeView1->viewport()->mapToGlobal(row.bottomLeft()));
}

// The longest line is found by its characters (the font is of fixed pitch) and
// its level, and measured whole: a listing grows a row at a time, so each new
// row is weighed alone, and only a tree built anew is weighed whole.
int ResultArea::weight(NodeId node, int level) const {
  return level * tree_indent + static_cast<int>(tree_.text(node).size()) * character_width_;
}

void ResultArea::measure_all() {
  longest_ = no_node;
  longest_weight_ = -1;
  std::vector<std::uint16_t> level(tree_.node_count());
  for (NodeId node = 0; node < tree_.node_count(); ++node) {
    const NodeId up = tree_.parent(node);
    level[node] = up == no_node ? 0 : static_cast<std::uint16_t>(level[up] + 1);
    if (const int w = weight(node, level[node]); w > longest_weight_) {
      longest_ = node;
      longest_level_ = level[node];
      longest_weight_ = w;
    }
  }
  apply_column_width();
}

void ResultArea::measure(const QModelIndex& parent, int first, int last) {
  int level = 0;
  for (QModelIndex up = parent; up.isValid(); up = up.parent()) ++level;
  bool longer = false;
  for (int row = first; row <= last; ++row) {
    const NodeId node = model_->node_of(model_->index(row, 0, parent));
    if (node == no_node) continue;
    if (const int w = weight(node, level); w > longest_weight_) {
      longest_ = node;
      longest_level_ = level;
      longest_weight_ = w;
      longer = true;
    }
  }
  if (longer) apply_column_width();
}

void ResultArea::apply_column_width() {
  int width = padded_width_;
  if (longest_ != no_node) {
    const QString text = model_->index_of(longest_).data().toString();
    width = std::max(width, line_room(TreeView1, static_cast<unsigned>(longest_level_)) +
                                QFontMetrics(TreeView1->font()).horizontalAdvance(text));
  }
  if (TreeView1->header()->sectionSize(0) != width) TreeView1->header()->resizeSection(0, width);
}

void ResultArea::layout(QSize client) {
  TreeView1->resize(client.width() - 88, client.height() - 162);
  const int sort_left = TreeView1->width() + 13;
  for (QWidget* w : std::initializer_list<QWidget*>{Bou_sortbyname, Bou_sortbysize, Che_reversesort, Bou_expandall,
                                                    Bou_collapseall, Che_autoexpand})
    w->move(sort_left, w->y());
  Panel1->resize(TreeView1->size());
  Lab_status->move(Lab_status->x(), TreeView1->y() + TreeView1->height() + 4);
  Lab_found->move(Lab_found->x(), Lab_status->y() - 1);
  ProgressBar1->setGeometry(ProgressBar1->x(), TreeView1->y() + TreeView1->height() / 2 + 10,
                            TreeView1->width() - 16, ProgressBar1->height());
}

void ResultArea::show_for_search(bool advanced_mode) {
  Bou_expandall->show();
  Bou_collapseall->show();
  if (advanced_mode) Che_autoexpand->show();
}

void ResultArea::show_for_list() {
  Bou_expandall->hide();
  Bou_collapseall->hide();
  Che_autoexpand->hide();
}

void ResultArea::apply_advanced(bool on, bool search_shown) {
  if (!on) Che_autoexpand->hide();
  else if (search_shown) Che_autoexpand->show();
  Che_reversesort->setVisible(on);
}

void ResultArea::apply_only_total(bool checked, bool clear) {
  const QColor background = checked ? only_total_silver : QApplication::palette().color(QPalette::Base);
  QPalette palette = TreeView1->palette();
  palette.setColor(QPalette::Base, background);
  TreeView1->setPalette(palette);
  if (clear) {
    TreeView1->hide();
    tree_.clear_result_tree();
    TreeView1->show();
  }
  set_background(Panel1, background);
}

void ResultArea::hide_for_search() {
  model_->set_frozen(true);
  TreeView1->hide();
}

void ResultArea::show_after_search() {
  TreeView1->show();
  model_->set_frozen(false);
}

void ResultArea::set_sorted_by_date(bool date) {
  Bou_sortbysize->setText(date ? QStringLiteral("Sort by Date") : QStringLiteral("Sort by Size"));
}

void ResultArea::Bou_sortbynameClick(DialogService& dialogs) {
  if (sort_refused()) {
    dialogs.show_message(sort_refusal_text, "Bad Idea", DialogButtons::ok, DialogIcon::information);
    return;
  }
  // The locale's order, by the collation rules Qt carries rather than those of
  // whichever system locales happen to be installed.
  QLocale locale = QLocale::system();
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
  QCollator collator(locale);
  sort_tree_by_text(
      tree_, [&](std::string_view a, std::string_view b) { return collator.compare(to_screen(a), to_screen(b)) < 0; },
      Che_reversesort->isChecked());
}

void ResultArea::Bou_sortbysizeClick(DialogService& dialogs) {
  if (sort_refused()) {
    dialogs.show_message(sort_refusal_text, "Bad Idea", DialogButtons::ok, DialogIcon::information);
    return;
  }
  sort_tree_by_number(tree_, Che_reversesort->isChecked());
}

void ResultArea::Bou_expandallClick() {
  TreeView1->expandAll();
}

void ResultArea::Bou_collapseallClick() {
  TreeView1->collapseAll();
  TreeView1->horizontalScrollBar()->setValue(0); // else what is left of the tree may lie out of sight
}

bool ResultArea::autoexpand() const { return Che_autoexpand->isChecked(); }

} // namespace shelvo
