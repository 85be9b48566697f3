#include "window/window_placement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace shelvo {

WindowPlacement::WindowPlacement(QMainWindow& window, QWidget& client, std::function<QSize()> minimum_client_size,
                                 std::function<QSize()> default_client_size, std::function<int()> menu_height)
    : window_(window), client_(client), minimum_client_size_(std::move(minimum_client_size)),
      default_client_size_(std::move(default_client_size)), menu_height_(std::move(menu_height)),
      frame_wait_(new QTimer(&window)), maximize_(new QTimer(&window)) {
  frame_wait_->setInterval(50);
  QObject::connect(frame_wait_, &QTimer::timeout, frame_wait_, [this] { wait_for_frame(); });
  maximize_->setSingleShot(true);
  maximize_->setInterval(settle_time_ms);
  QObject::connect(maximize_, &QTimer::timeout, maximize_, [this] { window_.setWindowState(Qt::WindowMaximized); });
}

WindowPlacement::~WindowPlacement() {
  delete frame_wait_;
  delete maximize_;
}

// A stored place is checked against a 640 x 480 screen however large the real
// one is: the smallest screen the window fits, so that a place saved on a large
// monitor never puts the window out of reach on a smaller one. Past its far
// edges the corner is pulled back onto them: the window opens as near to where
// the user left it as the smallest screen allows. Before its near edges a window the
// user dragged partly off the screen is kept there, up to half that screen;
// further off, the place is more likely left by a screen that is gone than
// chosen, and the window starts again at 0, not at the limit. What is left is
// then fitted to the real screen (fitted_to).
QPoint WindowPlacement::clamped_place(int left, int top) {
  if (top > 480) top = 480;
  if (left > 640) left = 640;
  if (top < -240) top = 0;
  if (left < -320) left = 0;
  return {left, top};
}

QRect WindowPlacement::fitted_to(QRect outer, const QRect& available) {
  outer.setSize(outer.size().boundedTo(available.size()));
  outer.moveLeft(std::clamp(outer.left(), available.left(), available.right() + 1 - outer.width()));
  outer.moveTop(std::clamp(outer.top(), available.top(), available.bottom() + 1 - outer.height()));
  return outer;
}

QSize WindowPlacement::frame() const { return window_.frameGeometry().size() - window_.size(); }

void WindowPlacement::restore(const StoredPlace& stored_place) {
  Stored stored;
  stored.place = clamped_place(stored_place.left, stored_place.top);
  if (stored_place.width > 0 && stored_place.height > 0) stored.outer = QSize(stored_place.width, stored_place.height);
  stored_ = stored;
  place(QSize(0, 0)); // the best guess until the frame is known
  normal_ = stored_->intended;
  switch (stored_place.state) {
  case 1: window_.setWindowState(Qt::WindowMinimized); break;
  case 2:
    // Where a window manager frames the window (X11), the window is first
    // placed normal in its frame, then maximized: restored, the window manager
    // then gives back that geometry, not the guess made before the frame was
    // known (which grew the window by its frame at each maximized close).
    if (QGuiApplication::platformName() == QLatin1String("xcb")) maximize_when_framed_ = true;
    else window_.setWindowState(Qt::WindowMaximized);
    break;
  default: break;
  }
}

void WindowPlacement::wait_for_frame() {
  window_changed();
  if (!stored_) {
    frame_wait_->stop();
  } else if (++frame_waits_ >= frame_wait_limit) {
    frame_wait_->stop();
    stored_.reset();
    if (std::exchange(maximize_when_framed_, false)) maximize_->start();
  }
}

void WindowPlacement::place(QSize frame) {
  const bool was_placing = std::exchange(placing_, true);
  Stored& stored = *stored_;
  const int menu = menu_height_();
  const QSize outer = stored.outer ? *stored.outer : default_client_size_() + QSize(0, menu) + frame;
  const QScreen* screen = QGuiApplication::screenAt(stored.place);
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(stored.place, outer);
  // Below the minimum Go or the status line is cut; a smaller screen still wins,
  // and the client area then scrolls.
  const QSize minimum = minimum_client_size_();
  client_.setMinimumSize(minimum);
  window_.setMinimumSize((minimum + QSize(0, menu)).boundedTo(available.size() - frame));
  // A stored size below the minimum grows to it before it is fitted: grown
  // after, by Qt, it would reach past the screen's edge.
  stored.intended = fitted_to(QRect(stored.place, outer.expandedTo(window_.minimumSize() + frame)), available);
  window_.resize(inner_size_for(stored.intended.size(), frame));
  window_.move(stored.intended.topLeft());
  stored.applied_place = window_.pos();
  stored.applied_size = window_.size();
  placing_ = was_placing;
}

void WindowPlacement::window_changed() {
  // Placing the window changes it too: what that reports is not looked at.
  if (placing_ || window_.windowState() != Qt::WindowNoState || !window_.isVisible()) return;
  if (stored_) {
    const QSize f = frame();
    if (f == QSize(0, 0)) { // not framed yet, or never
      normal_ = window_.pos() == stored_->applied_place && window_.size() == stored_->applied_size
                    ? stored_->intended
                    : window_.frameGeometry();
      // The frame may come without a move or a resize to say so: looked for
      // again a while, then given up (and a stored maximized state applied).
      if (QGuiApplication::platformName() == QLatin1String("xcb") && !frame_wait_->isActive()) {
        frame_waits_ = 0;
        frame_wait_->start();
      }
      return;
    }
    frame_wait_->stop();
    // Moved or sized meanwhile by someone else: that is the window's geometry now.
    if (window_.pos() == stored_->applied_place && window_.size() == stored_->applied_size) place(f);
    stored_.reset();
    normal_ = QRect(window_.pos(), window_.size() + f);
    // Maximized once the window manager has moved and sized it: a request to
    // move a maximized window would take the maximized state away again.
    if (std::exchange(maximize_when_framed_, false)) maximize_->start();
    return;
  }
  normal_ = window_.frameGeometry();
}

StoredPlace WindowPlacement::to_store() const {
  const Qt::WindowStates state = window_.windowState();
  const bool normal = !(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
  // Never framed: what was meant, unless the window was moved or sized since.
  QRect outer = normal ? window_.frameGeometry() : normal_;
  if (normal && stored_ && window_.pos() == stored_->applied_place && window_.size() == stored_->applied_size)
    outer = stored_->intended;
  StoredPlace place;
  place.top = outer.top();
  place.left = outer.left();
  place.width = outer.width();
  place.height = outer.height();
  place.state = state & Qt::WindowMinimized ? 1 : state & Qt::WindowMaximized ? 2 : 0;
  return place;
}

} // namespace shelvo
