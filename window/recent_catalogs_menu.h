// The recent catalogs: the four items D_1 (newest) to D_4 at the end of the
// "&Database" menu, each a catalog directory the user left, and how one is
// opened again.
#pragma once

#include <QString>

#include <array>
#include <functional>

class QAction;
class QMenu;

namespace shelvo {

class RecentCatalogsMenu {
public:
  // Adds the items to menu, below what it holds.
  explicit RecentCatalogsMenu(QMenu& menu);

  // Puts path at the top unless it is listed already.
  void PushRecentCatalog(const QString& path);
  // D_1Click .. D_4Click, item 0 .. 3: the current catalog (current) enters the
  // list, and the item's catalog, unless empty, is returned to be made current.
  QString OpenRecentCatalog(int item, const QString& current);
  // The captions from the list (after it was loaded).
  void show();

  const std::array<QString, 4>& catalogs() const { return catalogs_; }
  QString* slot(std::size_t k) { return &catalogs_[k]; }
  std::size_t size() const { return catalogs_.size(); }

  // An item picked from the menu.
  std::function<void(int item)> on_open;

private:
  std::array<QString, 4> catalogs_;
  std::array<QAction*, 4> D_{};
};

} // namespace shelvo
