// Files a run writes besides standard output (the map, the lacking characters, the proof
// sheet, FreePWING's lists, BMP and XBM files): each reaches its name only whole.
#ifndef KARVEX_DRIVER_PENDING_FILE_H_
#define KARVEX_DRIVER_PENDING_FILE_H_

#include <cstdio>
#include <functional>
#include <string>

#include "driver/run.h"
#include "gaiji/output_stream.h"

namespace karvex {

/// Opens what a run writes for the file `name` (RunIo::start_file): a new temporary file in
/// the folder of `name`, or of the file that `name` links to, with the permission bits of
/// the file it is to replace; *temp is its name and *final_name the one it gets when whole.
/// A name that exists and is neither a regular file nor a folder (a device, a FIFO) is
/// opened as it is, *temp empty. Null with errno set on failure: a folder is EISDIR, a
/// file the user may not write EACCES.
FILE* StartFile(const std::string& name, std::string* temp, std::string* final_name);

/// A file of the run, written through stream() under a temporary name and renamed once
/// whole; a device or a FIFO is written directly. Destroyed before Rename, it removes its
/// temporary file, which leaves the named file as it was.
class PendingFile {
 public:
  PendingFile() = default;
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  ~PendingFile() { Abandon(); }

  /// Opens the file, so that a path that cannot be written fails before anything is read;
  /// false with *error set to the system's reason.
  bool Start(const std::string& name, const RunIo& io, std::string* error);
  bool started() const { return io_ != nullptr; }
  /// True when the file is written as it is, not under a temporary name.
  bool direct() const { return temp_.empty(); }
  const std::string& name() const { return name_; }
  OutputStream* stream() { return &stream_; }
  /// True once a write to the file failed.
  bool failed() const { return stream_.failed(); }
  /// The errno of the first failed write, or 0.
  int error() const { return stream_.error(); }
  /// Writes out what the stream holds and closes the file; false with *error set.
  bool Close(std::string* error);
  /// Gives the closed file its name; false with *error set.
  bool Rename(std::string* error);
  /// Closes the file and removes the temporary one, unless renamed.
  void Abandon();

 private:
  const RunIo* io_ = nullptr;
  std::string name_, temp_, final_name_;
  FILE* file_ = nullptr;
  OutputStream stream_;
};

/// Writes the file `name` whole through a PendingFile: `fill` writes its content.
bool WriteWholeFile(const RunIo& io, const std::string& name,
                    const std::function<void(OutputStream*)>& fill, std::string* error);

}  // namespace karvex

#endif  // KARVEX_DRIVER_PENDING_FILE_H_
