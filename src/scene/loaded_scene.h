#pragma once
// The scene a front end has loaded: what its last catalogue scan saw (the file's full path,
// identity and length, the catalogue) and the parameters of the scene objects named like its rows
// once they have been read. It holds what the file holds, nothing a user has typed or set: a
// front end keeps its pending edits apart, and changes a loaded scene only to follow the file
// (the object-parameter scan, and its own writes).
//
// The positions of a catalogue belong to the file they were read from. Every later read goes
// through the loaded scene and reopens that file, checking that it is still the same file with the
// same length; every write goes only to that file (same full path, same identity).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scene/catalogue.h"
#include "scene/object_params.h"
#include "scene/result.h"
#include "scene/scene_file.h"
#include "scene/scene_image.h"

namespace quorvex {

// The object of one catalogue row as the scene holds it: the scene object whose name equals the
// row's name, as the object-parameter scan read it, or with the values this program wrote there
// since. Its model is the row's: an object that gives none keeps the model of an earlier match.
// Absent until the scan matches an object to the row.
using RowObject = std::optional<ObjectParams>;

struct LoadedScene {
  std::filesystem::path path;  // empty: nothing is loaded
  FileIdentity identity;
  Pos length = 0;
  std::int64_t written =
      0;  // the file's last write time when loaded, or after this program's write
  Catalogue catalogue;
  std::vector<RowObject> objects;  // one per catalogue row
  bool objectsRead = false;        // the object-parameter scan has run to its end

  bool loaded() const { return !path.empty(); }
  int rowCount() const { return static_cast<int>(catalogue.rows.size()); }
  bool hasRow(int row) const { return row >= 0 && row < rowCount(); }
  // The names of the rows, row 0 first (the object-parameter scan and the name check match them).
  std::vector<ByteString> rowNames() const;
  // The file name, UTF-8.
  std::string fileName() const;
  FileStamp stamp() const {
    return FileStamp{identity, static_cast<std::uint64_t>(length), written};
  }
};

// The scene `file` holds, as the catalogue scan of it found it.
LoadedScene MakeLoadedScene(const SceneFile& file, Catalogue catalogue);

// Opens the loaded scene again for reading. Fails as SceneFile::Open does, and with ChangedOnDisk
// when the file at the loaded path is another file now, or has another length.
Result<std::unique_ptr<SceneFile>> ReopenLoadedScene(const LoadedScene& scene);

// Whether a write may go to `selected`: Refused when it names another file than the loaded scene
// (or nothing is loaded), ChangedOnDisk when the file at that path is no longer the file that was
// loaded (replaced, or removed) or has been written since it was loaded (its length or its last
// write time differ: another program's edit anywhere in it), the open's failure when it cannot
// be examined.
Status CheckIsLoadedScene(const LoadedScene& scene, const std::filesystem::path& selected);

// After a write of this program that kept every loaded position valid (a same-length save or a
// modification, patched in place or through a replacement): the loaded scene takes the file's new
// identity, length and write time, so that its next read and write accept the file. Should the
// file not be examinable now, the old stamp stays, and the next read or write asks for "Start".
void TakeOwnWrite(LoadedScene& scene);

// The script of row `row`, read from the loaded scene: the 32-bit length at the row's recorded
// position, then that many bytes. Only that row's bytes are read. NoSuchRow, NoScript, and
// ChangedOnDisk when the length found there is not the one the scan read.
Result<ByteString> ReadRowScript(const LoadedScene& scene, int row);

// Records what the object-parameter scan found, or the values this program wrote into those
// objects; a later match of a row overwrites an earlier one.
void RecordObjectParams(LoadedScene& scene, const std::vector<ObjectParams>& matches);

}  // namespace quorvex
