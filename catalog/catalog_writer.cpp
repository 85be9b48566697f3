#include "catalog/catalog_writer.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace shelvo {

namespace {

std::string in_directory(const std::string& directory, std::string_view name) {
  return directory + "\\" + std::string(name);
}

std::string system_failure(std::string_view what, std::string_view path, int error) {
  return std::string(what) + " " + std::string(path) + ": " + error_text(error);
}

} // namespace

CatalogWriter::CatalogWriter(std::string_view catalog_directory) : directory_(catalog_directory) {
  while (directory_.size() > 1 && directory_.back() == '\\') directory_.pop_back();
}

CatalogWriter::~CatalogWriter() { discard(); }

bool CatalogWriter::lock(std::string& failure) {
  switch (lock_.acquire(directory_, lock_wait)) {
  case DirectoryLock::Outcome::locked:
  case DirectoryLock::Outcome::unsupported: break;
  case DirectoryLock::Outcome::busy:
    failure = "the catalog " + directory_ +
              " is being changed by another program (an add, a delete, an import or an export); "
              "try again when it has finished";
    return false;
  case DirectoryLock::Outcome::failed:
    failure = system_failure("cannot open the catalog", directory_, errno);
    return false;
  }
  // Only a writer holding the lock writes temporary files, so any found now
  // belong to a writer that was killed.
  for (const std::string& name : directory_names(directory_))
    if (name.starts_with(catalog_temporary_prefix)) delete_file(in_directory(directory_, name));
  return true;
}

std::string CatalogWriter::temporary_name() {
  static std::atomic<unsigned> serial{0};
  return in_directory(directory_, std::string(catalog_temporary_prefix) + std::to_string(::getpid()) + "-" +
                                      std::to_string(serial++));
}

File CatalogWriter::create_temporary(std::string& failure) {
  discard();
  const std::string path = temporary_name();
  File file = File::create_new(path);
  if (!file) {
    failure = system_failure("cannot write in the catalog", directory_, file.error());
    return file;
  }
  temporary_ = path;
  return file;
}

bool CatalogWriter::install(std::string_view volume_file, bool replace, std::string& failure) {
  if (temporary_.empty()) {
    failure = "nothing to install as " + std::string(volume_file);
    return false;
  }
  const bool moved = replace ? rename_file(temporary_, volume_file) : rename_without_replacing(temporary_, volume_file);
  if (!moved) {
    failure = system_failure("cannot store the volume as", volume_file, errno);
    discard();
    return false;
  }
  temporary_.clear();
  return true;
}

bool CatalogWriter::set_aside(std::string_view volume_file, std::string& aside, std::string& failure) {
  aside = temporary_name();
  if (rename_without_replacing(volume_file, aside)) return true;
  failure = system_failure("cannot delete", volume_file, errno);
  return false;
}

void CatalogWriter::discard_aside(const std::string& aside) { delete_file(aside); }

void CatalogWriter::discard() {
  if (temporary_.empty()) return;
  delete_file(temporary_);
  temporary_.clear();
}

} // namespace shelvo
