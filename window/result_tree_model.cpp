#include "window/result_tree_model.h"

#include "window/screen_text.h"

namespace shelvo {

namespace {

// Node ids are dense, and a view hashes internalId: consecutive ids would pile
// into few buckets (collapsing 200,000 expanded nodes took minutes). An odd
// multiplier spreads them and is undone by its inverse modulo 2^64.
constexpr quint64 id_multiplier = 0x9E3779B97F4A7C15ull;

constexpr quint64 inverse_of(quint64 odd) {
  quint64 inverse = odd; // Newton's iteration doubles the correct low bits each step
  for (int i = 0; i < 6; ++i) inverse *= 2 - odd * inverse;
  return inverse;
}
constexpr quint64 id_inverse = inverse_of(id_multiplier);
static_assert(id_multiplier * id_inverse == 1);

quintptr encode(NodeId node) { return static_cast<quintptr>(static_cast<quint64>(node) * id_multiplier); }
NodeId decode(quintptr id) { return static_cast<NodeId>(static_cast<quint64>(id) * id_inverse); }

} // namespace

ResultTreeModel::ResultTreeModel(ResultTree& tree, QObject* parent) : QAbstractItemModel(parent), tree_(tree) {
  tree_.set_observer(this);
}

ResultTreeModel::~ResultTreeModel() { tree_.set_observer(nullptr); }

void ResultTreeModel::set_frozen(bool frozen) {
  if (frozen == frozen_) return;
  beginResetModel();
  frozen_ = frozen;
  endResetModel();
}

NodeId ResultTreeModel::node_of(const QModelIndex& index) const {
  return index.isValid() ? decode(index.internalId()) : no_node;
}

QModelIndex ResultTreeModel::index_of(NodeId node) const {
  if (node == no_node || frozen_ || !tree_.contains(node)) return {};
  return createIndex(static_cast<int>(tree_.row(node)), 0, encode(node));
}

QModelIndex ResultTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (frozen_ || column != 0 || row < 0) return {};
  const NodeId up = node_of(parent);
  if (static_cast<std::uint32_t>(row) >= tree_.child_count(up)) return {};
  return createIndex(row, 0, encode(tree_.child(up, static_cast<std::uint32_t>(row))));
}

QModelIndex ResultTreeModel::parent(const QModelIndex& child) const {
  if (frozen_ || !child.isValid()) return {};
  return index_of(tree_.parent(node_of(child)));
}

int ResultTreeModel::rowCount(const QModelIndex& parent) const {
  if (frozen_ || parent.column() > 0) return 0;
  return static_cast<int>(tree_.child_count(node_of(parent)));
}

bool ResultTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

int ResultTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant ResultTreeModel::data(const QModelIndex& index, int role) const {
  if (frozen_ || !index.isValid() || role != Qt::DisplayRole) return {};
  return to_screen(tree_.text(node_of(index)));
}

void ResultTreeModel::node_about_to_be_appended(NodeId parent, std::uint32_t row) {
  if (frozen_) return;
  beginInsertRows(index_of(parent), static_cast<int>(row), static_cast<int>(row));
}

void ResultTreeModel::node_appended(NodeId, std::uint32_t) {
  if (!frozen_) endInsertRows();
}

void ResultTreeModel::node_text_changed(NodeId node) {
  if (frozen_) return;
  const QModelIndex at = index_of(node);
  emit dataChanged(at, at, {Qt::DisplayRole});
}

void ResultTreeModel::children_about_to_be_reordered(NodeId) {
  if (!frozen_) emit layoutAboutToBeChanged();
}

void ResultTreeModel::children_reordered(NodeId) {
  if (frozen_) return;
  // Indexes name their node, not their row: each keeps its node at its new row.
  const QModelIndexList before = persistentIndexList();
  QModelIndexList after;
  after.reserve(before.size());
  for (const QModelIndex& old : before) after.push_back(index_of(node_of(old)));
  changePersistentIndexList(before, after);
  emit layoutChanged();
}

void ResultTreeModel::tree_about_to_be_cleared() {
  if (!frozen_) beginResetModel();
}

void ResultTreeModel::tree_cleared() {
  if (!frozen_) endResetModel();
}

} // namespace shelvo
