#include "window/recent_catalogs_menu.h"

#include <QAction>
#include <QMenu>

#include <algorithm>
#include <string>

namespace shelvo {

namespace {

// The menu shows '&' as an accelerator mark; a catalog path shows it as it is.
QString menu_text(const QString& text) {
  QString out = text;
  return out.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

RecentCatalogsMenu::RecentCatalogsMenu(QMenu& menu) {
  for (std::size_t k = 0; k < D_.size(); ++k) {
    D_[k] = menu.addAction(QString());
    D_[k]->setObjectName(QStringLiteral("D_%1").arg(k + 1));
    QObject::connect(D_[k], &QAction::triggered, &menu, [this, k] {
      if (on_open) on_open(static_cast<int>(k));
    });
  }
}

void RecentCatalogsMenu::PushRecentCatalog(const QString& path) {
  if (std::find(catalogs_.begin(), catalogs_.end(), path) != catalogs_.end()) return;
  std::move_backward(catalogs_.begin(), catalogs_.end() - 1, catalogs_.end());
  catalogs_[0] = path;
  show();
}

QString RecentCatalogsMenu::OpenRecentCatalog(int item, const QString& current) {
  if (item < 0 || item >= static_cast<int>(D_.size())) return {};
  const QString chosen = catalogs_[static_cast<std::size_t>(item)];
  PushRecentCatalog(current);
  return chosen;
}

void RecentCatalogsMenu::show() {
  for (std::size_t k = 0; k < D_.size(); ++k) D_[k]->setText(menu_text(catalogs_[k]));
}

} // namespace shelvo
