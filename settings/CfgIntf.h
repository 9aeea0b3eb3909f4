#pragma once
// The settings store: named, typed values kept as an INI document and, for
// the process-wide store, persisted to the ".cfg" file beside the executable.
// Only the user-interface thread uses it.

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "framework/FormatSettings.h"
#include "framework/Variant.h"
#include "settings/IniDocument.h"

namespace corvina {

class ECfgError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ICfgIntf {
 public:
  virtual ~ICfgIntf() = default;
  // Takes a snapshot of every setting. While one is held, another call keeps it.
  virtual void BeginUpdate() = 0;
  // Commits: the snapshot is dropped (and the file written, for a store with a file).
  virtual void EndUpdate() = 0;
  // Puts back the snapshot and drops it; without a snapshot it does nothing.
  virtual void CancelUpdate() = 0;
  // The setting's value, or Null when the store does not hold it.
  virtual Variant GetValue(const std::string& name) = 0;
  // Stores the value with its type code. Kinds the store does not hold
  // (Empty, Null, arrays, references and the rest) change nothing. A value
  // text with a line break, or a name the file would not read back as the
  // same name, raises ECfgError and changes nothing.
  virtual void SetValue(const std::string& name, const Variant& value) = 0;
};

// The store in memory, with no file behind it.
class TDynamicCfgIntf : public ICfgIntf {
 public:
  explicit TDynamicCfgIntf(const TFormatSettings& fs = DefaultFormatSettings());

  void BeginUpdate() override;
  void EndUpdate() override;
  void CancelUpdate() override;
  Variant GetValue(const std::string& name) final;
  void SetValue(const std::string& name, const Variant& value) final;

 protected:
  TIniDocument IniDocument;
  std::optional<TIniDocument> Snapshot;

 private:
  TFormatSettings fs_;
};

// The store bound to a settings file: loaded at construction, written whole
// at every EndUpdate.
class TLocalCfgIntf : public TDynamicCfgIntf {
 public:
  // A missing file gives an empty store; a file that exists but cannot be
  // read raises ECfgError.
  explicit TLocalCfgIntf(std::string fileName, const TFormatSettings& fs = DefaultFormatSettings());
  // Writes a temporary file beside the settings file and renames it over
  // it, so a failed write leaves the old file whole. The snapshot is dropped
  // only after the write succeeded: on failure ECfgError reaches the caller
  // and CancelUpdate can still roll the edit back.
  void EndUpdate() override;

  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
};

// The settings file of an executable: its extension replaced by ".cfg"
// (appended when there is none), ASCII letters of the file name lower-cased.
// The folders stay as they are: on a case-sensitive file system a lowered
// folder would be another folder.
std::string CfgFileNameFor(const std::string& executablePath);
// The settings file of the running executable.
std::string LocalCfgFileName();

// The process-wide store, created on the first call for LocalCfgFileName().
// When that creation fails the error is raised and the next call tries again.
std::shared_ptr<ICfgIntf> GetLocalCfgIntf();

}  // namespace corvina
