#include "results/status_view.h"

namespace shelvo {

namespace {
StatusView* installed_view = nullptr;
}

void set_status_view(StatusView* view) { installed_view = view; }
StatusView* status_view() { return installed_view; }

} // namespace shelvo
