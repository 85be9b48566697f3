// The import of a damaged or hostile catalog: the input is cut into up to four
// volume files of the other catalog, and its bits answer the questions. Whatever
// it holds, every file of the current catalog is afterwards one of its own
// volumes or one of the sources, whole; the numbers run without a gap; no
// temporary file is left.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "catalog/catalog_store.h"
#include "catalog/catalog_writer.h"
#include "fuzz/fuzz_support.h"
#include "maintenance/import_catalog.h"
#include "platform/file_access.h"

namespace {

using namespace shelvo;

class Answers final : public DialogService {
public:
  explicit Answers(std::uint8_t bits) : bits_(bits) {}
  DialogAnswer show_message(std::string_view, std::string_view, DialogButtons buttons, DialogIcon) override {
    if (buttons == DialogButtons::ok) return DialogAnswer::ok;
    const bool yes = (bits_ >> (asked_++ % 8)) & 1;
    return yes ? DialogAnswer::yes : DialogAnswer::no;
  }

private:
  std::uint8_t bits_;
  int asked_ = 0;
};

std::string volume(const char* label, const char* body) {
  std::string v = label;
  v.resize(label_length, ' ');
  return v + '\x05' + body;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string current = fuzzing::scratch() + "/CURRENT";
  const std::string other = fuzzing::scratch() + "/OTHER";
  static const bool made = [&] { return std::system(("mkdir -p " + current + " " + other).c_str()) == 0; }();
  if (!made) return 0;
  fuzzing::empty_directory(current);
  fuzzing::empty_directory(other);

  std::set<std::string> allowed = {"", volume("KEEP", "one"), volume("SAME", "two")};
  fuzzing::write_bytes(current + "/" + volume_file_name(0), "");
  fuzzing::write_bytes(current + "/" + volume_file_name(1), volume("KEEP", "one"));
  fuzzing::write_bytes(current + "/" + volume_file_name(2), volume("SAME", "two"));
  const std::string_view rest = fuzzing::text_of(data + 2, size - 2);
  const std::size_t parts = 1 + data[1] % 4;
  for (std::size_t k = 0; k < parts; ++k) {
    const std::string piece(rest.substr(rest.size() * k / parts, rest.size() * (k + 1) / parts - rest.size() * k / parts));
    fuzzing::write_bytes(other + "/" + volume_file_name(static_cast<long>(k)), piece);
    allowed.insert(piece);
  }

  Answers answers(data[0]);
  import_catalog("C:\\CURRENT\\", "C:\\OTHER\\", answers, nullptr);

  int files = 0;
  for (long n = 0;; ++n) {
    const std::string path = current + "/" + volume_file_name(n);
    if (!file_exists(path)) break;
    FUZZ_CHECK(allowed.count(fuzzing::read_bytes(path)) == 1);
    ++files;
  }
  // Nothing behind a gap, and no temporary file.
  for (const std::string& name : directory_names(current)) {
    FUZZ_CHECK(name.rfind(catalog_temporary_prefix, 0) != 0);
    FUZZ_CHECK(volume_number_of(name) >= 0 && volume_number_of(name) < files);
  }
  return 0;
}
