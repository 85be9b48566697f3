// Where the window opens and how large: the stored place and outer size (or, on
// a first start, the design's client area), clamped as stored places always
// were, fitted to the screen's available area, and applied again once the window
// manager has framed the window. Until then Qt reports no frame, so an outer
// size applied as it is would grow by the frame at every start.
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTreeView>

#include <algorithm>

#include "window/main_window.h"

namespace shelvo {

namespace {

// The longest status line: the search line with every field full and the stop note.
constexpr int longest_status_characters = 133;
// Room the tree keeps at the smallest window: a few lines.
constexpr int minimum_tree_lines = 3;
// Room right of Go at the smallest window.
constexpr int go_margin = 8;

} // namespace

// A stored place is checked against a 640 x 480 screen however large the real
// one is: the smallest screen the window fits, so that a place saved on a large
// monitor never puts the window out of reach on a smaller one. Past its far
// edges the corner is pulled back onto them: the window opens as near to where
// the user left it as the smallest screen allows. Before its near edges a window the
// user dragged partly off the screen is kept there, up to half that screen;
// further off, the place is more likely left by a screen that is gone than
// chosen, and the window starts again at 0, not at the limit. What is left is
// then fitted to the real screen (fitted_to).
QPoint TForm1::clamped_place(int left, int top) {
  if (top > 480) top = 480;
  if (left > 640) left = 640;
  if (top < -240) top = 0;
  if (left < -320) left = 0;
  return {left, top};
}

QRect TForm1::fitted_to(QRect outer, const QRect& available) {
  outer.setSize(outer.size().boundedTo(available.size()));
  outer.moveLeft(std::clamp(outer.left(), available.left(), available.right() + 1 - outer.width()));
  outer.moveTop(std::clamp(outer.top(), available.top(), available.bottom() + 1 - outer.height()));
  return outer;
}

QSize TForm1::minimum_client_size() const {
  const int status_end =
      Lab_status->x() + QFontMetrics(Lab_status->font()).horizontalAdvance(QString(longest_status_characters, u'0'));
  const int go_end = BitBtnGo->geometry().right() + 1 + go_margin;
  const int row = QFontMetrics(TreeView1->font()).height() + 4;
  const int tree_height = 2 * TreeView1->frameWidth() + minimum_tree_lines * row;
  // The tree is the client height less 162 (FormResize), the status line below it.
  return {std::max(status_end, go_end), tree_height + 162};
}

QSize TForm1::default_client_size() const {
  // The tree is the client width less 88; its frame and a vertical scroll bar
  // take from what its lines get.
  const int tree_needs = TreeView1->header()->defaultSectionSize() + 2 * TreeView1->frameWidth() +
                         TreeView1->verticalScrollBar()->sizeHint().width();
  return {std::max(design_client_width, tree_needs + 88), design_client_height};
}

void TForm1::restore_geometry(const StoredPlace& stored_place) {
  StoredGeometry stored;
  stored.place = clamped_place(stored_place.left, stored_place.top);
  if (stored_place.width > 0 && stored_place.height > 0) stored.outer = QSize(stored_place.width, stored_place.height);
  stored_geometry_ = stored;
  place_window(QSize(0, 0)); // the best guess until the frame is known
  switch (stored_place.state) {
  case 1: setWindowState(Qt::WindowMinimized); break;
  case 2: setWindowState(Qt::WindowMaximized); break;
  default: break;
  }
}

void TForm1::place_window(QSize frame) {
  StoredGeometry& stored = *stored_geometry_;
  const int menu = menuBar()->sizeHint().height();
  const QSize outer = stored.outer ? *stored.outer : default_client_size() + QSize(0, menu) + frame;
  const QScreen* screen = QGuiApplication::screenAt(stored.place);
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(stored.place, outer);
  // Below the minimum Go or the status line is cut; a smaller screen still wins,
  // and the client area then scrolls.
  client_->setMinimumSize(minimum_client_size());
  setMinimumSize((minimum_client_size() + QSize(0, menu)).boundedTo(available.size() - frame));
  // A stored size below the minimum grows to it before it is fitted: grown
  // after, by Qt, it would reach past the screen's edge.
  stored.intended = fitted_to(QRect(stored.place, outer.expandedTo(minimumSize() + frame)), available);
  resize(inner_size_for(stored.intended.size(), frame));
  move(stored.intended.topLeft());
  stored.applied_place = pos();
  stored.applied_size = size();
}

void TForm1::place_window_in_its_frame() {
  if (!stored_geometry_ || windowState() != Qt::WindowNoState || !isVisible()) return;
  const QSize frame = frameGeometry().size() - size();
  if (frame == QSize(0, 0)) return; // not framed yet, or never
  // Moved or sized meanwhile by someone else: that is the window's geometry now.
  if (pos() == stored_geometry_->applied_place && size() == stored_geometry_->applied_size) place_window(frame);
  stored_geometry_.reset();
}

bool TForm1::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  switch (event->type()) {
  case QEvent::Show:
  case QEvent::Move:
  case QEvent::Resize:
  case QEvent::WindowStateChange: place_window_in_its_frame(); break;
  default: break;
  }
  return handled;
}

TForm1::StoredPlace TForm1::place_to_store(bool& normal) const {
  const Qt::WindowStates state = windowState();
  normal = !(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
  // Never framed: what was meant, unless the window was moved or sized since.
  QRect outer = frameGeometry();
  if (stored_geometry_ && pos() == stored_geometry_->applied_place && size() == stored_geometry_->applied_size)
    outer = stored_geometry_->intended;
  StoredPlace place;
  place.top = outer.top();
  place.left = outer.left();
  place.width = outer.width();
  place.height = outer.height();
  place.state = state & Qt::WindowMinimized ? 1 : state & Qt::WindowMaximized ? 2 : 0;
  return place;
}

} // namespace shelvo
