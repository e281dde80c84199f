// Files a run writes besides standard output (the map, the lacking characters, the proof
// sheet), which a run that fails before its first glyph leaves as they were.
#ifndef KARVEX_DRIVER_PENDING_FILE_H_
#define KARVEX_DRIVER_PENDING_FILE_H_

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "gaiji/output_stream.h"

namespace karvex {

/// Opens `name` for writing without emptying it; null with errno set on failure, and
/// *created when the open made the file.
FILE* OpenWithoutEmptying(const std::string& name, bool* created);

class PendingFile {
 public:
  using Open = std::function<FILE*(const std::string& name, bool* created)>;
  using Remove = std::function<void(const std::string& name)>;

  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() { Abandon(); }

  /// Opens the file as it is, so that a path that cannot be written fails before anything
  /// is read; false with *error set to the system's reason.
  bool Start(const std::string& name, const Open& open, Remove remove, std::string* error);
  bool started() const { return file_ != nullptr || committed_; }
  const std::string& name() const { return name_; }
  /// What the run writes: held in memory until Commit.
  OutputStream* stream() { return &stream_; }
  /// Empties the file (a regular one) and lets the stream write into it; false with errno
  /// set when it cannot be emptied.
  bool Commit();
  /// Writes out what the stream holds and closes the file; false with errno set on a
  /// failed write.
  bool Close();
  /// Leaves the file as it was before the run, or removes it when the run made it.
  void Abandon();

 private:
  std::string name_;
  FILE* file_ = nullptr;
  bool created_ = false;
  bool committed_ = false;
  Remove remove_;
  OutputStream stream_;
};

}  // namespace karvex

#endif  // KARVEX_DRIVER_PENDING_FILE_H_
