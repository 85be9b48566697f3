// TreeView1's model: a thin adapter that shows the core's ResultTree in place.
// It copies no node and keeps no text: a node's Windows-1252 text is converted
// each time the view asks for it (a growing tree may move the texts it keeps).
//
// A listing fills the view live, one insertion per node. A search is far larger
// and runs with the tree hidden: the model is frozen, showing the view nothing,
// and is reset once when the search ends. A Sort or an Expand that arrives while
// the search processes events thus never meets rows the view was not told of.
#pragma once

#include <QAbstractItemModel>

#include "results/result_tree.h"

namespace shelvo {

class ResultTreeModel final : public QAbstractItemModel, public ResultTreeObserver {
public:
  explicit ResultTreeModel(ResultTree& tree, QObject* parent = nullptr);
  ~ResultTreeModel() override;

  // While frozen the model is empty to its views and ignores the tree's changes;
  // unfreezing resets it to what the tree holds.
  void set_frozen(bool frozen);
  bool frozen() const { return frozen_; }

  // The node of an index (no_node for the invisible root), and back.
  NodeId node_of(const QModelIndex& index) const;
  QModelIndex index_of(NodeId node) const;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;

private:
  void node_about_to_be_appended(NodeId parent, std::uint32_t row) override;
  void node_appended(NodeId parent, std::uint32_t row) override;
  void node_text_changed(NodeId node) override;
  void children_about_to_be_reordered(NodeId parent) override;
  void children_reordered(NodeId parent) override;
  void tree_about_to_be_cleared() override;
  void tree_cleared() override;

  ResultTree& tree_;
  bool frozen_ = false;
};

} // namespace shelvo
