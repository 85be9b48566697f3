// The window against the core alone: a search that puts 200,000 file lines into
// the tree, run by the window's Go (offscreen) and by engine_main into a plain
// ResultTree with no view; Expand All and Reduce All on that tree; and how soon
// a search of a large catalog answers Stop.
//
//   window_bench [--lines N] [--runs N]
//
// Prints each time and the ratios that bench/README.md records.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "catalog/catalog_store.h"
#include "common/catalog_generator.h"
#include "engine/engine_main.h"
#include "platform/drive_table.h"
#include "platform/file_access.h"
#include "results/run_state.h"
#include "window/main_window.h"

namespace {

using namespace shelvo;
using Clock = std::chrono::steady_clock;

double seconds(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Four volumes of `lines` *.TXT files (and as many *.DAT that the search skips),
// in directories of 50 files, three levels deep.
bool write_hits_catalog(const std::string& folder, long lines) {
  std::filesystem::create_directories(folder);
  if (!File::open_host(folder + "/00000000.KTL", "wb").close()) return false;
  const long per_volume = lines / 4;
  for (int v = 1; v <= 4; ++v) {
    std::string bytes = "HITS" + std::to_string(v);
    bytes.resize(label_length, ' ');
    bytes += static_cast<char>(volume_format_byte);
    for (long i = 0; i < per_volume; ++i) {
      if (i % 50 == 0)
        encode_directory_record(bytes, "\\DATA\\YEAR" + std::to_string(i / 5000) + "\\SET" + std::to_string(i / 50));
      encode_file_record(bytes, "PICTURE" + std::to_string(i) + ".TXT", static_cast<std::uint64_t>(i * 37), 0x5A21,
                         0x6000);
      encode_file_record(bytes, "PICTURE" + std::to_string(i) + ".DAT", 1, 0x5A21, 0x6000);
    }
    File file = File::open_host(folder + "/" + volume_file_name(v), "wb");
    if (!file.write(bytes) || !file.close()) return false;
  }
  return true;
}

} // namespace

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  long lines = 200000;
  int runs = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    if (key == "--lines") lines = std::atol(argv[i + 1]);
    else if (key == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
  }
  const char* base = std::getenv("TMPDIR");
  std::string work = std::string(base && *base ? base : "/tmp") + "/shelvo-window-bench-XXXXXX";
  if (!::mkdtemp(work.data())) return 2;
  ::setenv("XDG_RUNTIME_DIR", work.c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (work + "/config").c_str(), 1); // the window's defaults, not the user's settings
  QApplication app(argc, argv);

  DriveTable table;
  table.set(Drive{'C', work, std::nullopt});
  set_drive_table(table);
  if (!write_hits_catalog(work + "/HITS", lines)) return 2;
  std::printf("catalog: 4 volumes, %ld *.TXT hits among %ld files\n", lines, 2 * lines);

  // 1. The same search: into the core's tree alone, and through the window.
  ResultTree core_tree;
  double core_best = 1e30, window_best = 1e30;
  TForm1 form;
  form.findChild<QLineEdit*>(QStringLiteral("Ed_pathbase"))->setText(QStringLiteral("C:\\HITS\\"));
  form.findChild<QLineEdit*>(QStringLiteral("Ed_search1"))->setText(QStringLiteral("*.TXT"));
  form.findChild<QCheckBox*>(QStringLiteral("Che_addstar"))->setChecked(false); // the very same mask as the core's
  form.show();
  QApplication::processEvents();
  std::int32_t found = 0;
  for (int r = 0; r < runs; ++r) {
    core_best = std::min(core_best, seconds([&] {
                           core_tree.clear_result_tree();
                           ArgumentVector vector{"", "/l:C:\\HITS\\", "*.TXT"};
                           engine_main(3, vector, FrontEnd{&core_tree, {}, false});
                         }));
    window_best = std::min(window_best, seconds([&] {
                             form.BitBtnGoClick();
                             QApplication::processEvents(); // the view lays out and paints the result
                           }));
    found = counters.found_files;
  }
  if (found != lines) {
    std::printf("MISMATCH: the window's search found %d of %ld\n", found, lines);
    return 1;
  }

  // 2. Expand All, then Reduce All, on the window's tree.
  const double expand = seconds([&] {
    form.Bou_expandallClick();
    QApplication::processEvents();
  });
  const double collapse = seconds([&] {
    form.Bou_collapseallClick();
    QApplication::processEvents();
  });

  // 3. Stop during a search of a large generated catalog: the pass finishes the
  // volume under way and reads no other.
  std::filesystem::create_directories(work + "/BIG");
  const bench::GeneratedCatalog big = bench::generate_catalog(work + "/BIG", 100, 2000000);
  if (!big.ok) return 2;
  form.findChild<QLineEdit*>(QStringLiteral("Ed_pathbase"))->setText(QStringLiteral("C:\\BIG\\"));
  form.findChild<QLineEdit*>(QStringLiteral("Ed_search1"))->setText(QStringLiteral("*.PDF"));
  std::int32_t volume_at_stop = -1;
  QTimer::singleShot(20, [&] {
    volume_at_stop = counters.volume_number;
    form.Bou_stopClick();
  });
  form.BitBtnGoClick();
  const int read_after_stop = counters.volume_number - volume_at_stop;

  std::printf("\nsearch into the core's tree alone : %7.3f s\n", core_best);
  std::printf("search through the window's Go    : %7.3f s\n", window_best);
  std::printf("Expand All / Reduce All            : %7.3f s / %7.3f s\n", expand, collapse);
  std::printf("Stop after volume %d of 101: the search read %d volume file(s) more\n", volume_at_stop,
              read_after_stop);
  std::printf("\nratios:\n");
  std::printf("  window / core alone, 200,000 lines : %.2f  (target <= 1.2)\n", window_best / core_best);
  std::printf("  Expand All, Reduce All             : %.2f s, %.2f s  (target < 1 s each)\n", expand, collapse);
  std::printf("  volumes read after Stop            : %d  (target <= 1)\n", read_after_stop);

  std::error_code ec;
  std::filesystem::remove_all(work, ec);
  return 0;
}
