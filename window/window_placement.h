// Where the window opens and how large, and what is stored of it: the stored
// place and outer size (or, on a first start, the design's client area),
// clamped, fitted to the screen's available area, and applied again once the
// window manager has framed the window. Until then Qt reports no frame, so an
// outer size applied as it is would grow by the frame at every start.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <functional>
#include <optional>

class QMainWindow;
class QTimer;
class QWidget;

namespace shelvo {

// The window's place as stored: outer top, left, width and height (a width or
// height of 0 for none stored), and its state: 0 normal, 1 minimized, 2 maximized.
struct StoredPlace {
  std::int32_t top = 0;
  std::int32_t left = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t state = 0;
};

class WindowPlacement {
public:
  // client: the client area, which gets its minimum; menu_height: the menu
  // bar's above it. The sizes come from the window's controls.
  WindowPlacement(QMainWindow& window, QWidget& client, std::function<QSize()> minimum_client_size,
                  std::function<QSize()> default_client_size, std::function<int()> menu_height);
  ~WindowPlacement();
  WindowPlacement(const WindowPlacement&) = delete;
  WindowPlacement& operator=(const WindowPlacement&) = delete;

  // Places the window by what was stored, and shows it in its stored state.
  void restore(const StoredPlace& stored);
  // What to store: the normal geometry (the one last seen, also when the
  // window is maximized or minimized now) and the state.
  StoredPlace to_store() const;
  // True until the stored geometry is applied in the window's frame (or given up
  // for one the user or the program chose).
  bool pending() const { return stored_.has_value(); }
  // Called on the window's show, move, resize and state change.
  void window_changed();

  // The stored size is the window's outer size; Qt sizes what lies inside the
  // frame. frame is the outer size less the inner one (none offscreen).
  static QSize inner_size_for(QSize outer, QSize frame) { return outer - frame; }
  // The clamps of a stored place: a window that would open far off the screen.
  static QPoint clamped_place(int left, int top);
  // An outer geometry moved and, if it must, shrunk to lie whole in available.
  static QRect fitted_to(QRect outer, const QRect& available);

private:
  // Places the window by the stored geometry for a frame of the given size.
  void place(QSize frame);
  // Looks for the frame again, until it is known or no longer awaited.
  void wait_for_frame();
  QSize frame() const;

  struct Stored {
    QPoint place;
    std::optional<QSize> outer; // nothing for a first start
    QRect intended;             // the outer geometry meant, fitted to the screen
    QPoint applied_place;       // what was set for it: pos() and size()
    QSize applied_size;
  };
  QMainWindow& window_;
  QWidget& client_;
  std::function<QSize()> minimum_client_size_;
  std::function<QSize()> default_client_size_;
  std::function<int()> menu_height_;
  std::optional<Stored> stored_;
  // The outer geometry of the window in its normal state, as last seen.
  QRect normal_;
  // Stored maximized: maximized once placed in its frame.
  bool maximize_when_framed_ = false;
  bool placing_ = false;
  // How often, and how long (2 s), the frame is looked for when no change of
  // the window tells of it.
  QTimer* frame_wait_ = nullptr;
  int frame_waits_ = 0;
  static constexpr int frame_wait_limit = 40;
  // A stored maximized state, applied once the window manager has placed the
  // window in its frame.
  QTimer* maximize_ = nullptr;
  static constexpr int settle_time_ms = 250;
};

} // namespace shelvo
