#pragma once
// The literal reference of the scans: byte-stepping scans with one positioned read per window.
// The catalogue reads the two bytes at every position it visits (and the 5- or 8-byte window where
// it looks for a pattern or an entry marker), the object-parameter scan walks the objects section
// reading each field with its own read, the model listing reads every byte, and the overview reads
// each script's length and text. Every read goes to the source: bytes in memory (MemorySource)
// for the tests and fuzz targets, the scene file (a SceneFile under a CountingSource) for the
// benchmarks' "literal file reads". Slow by design: the fast scans must give exactly their
// results, hooks and progress values included.
//
// A window that runs past the end of the source (or starts before position 1) is absent, as it is
// for the fast scans; so is one the source fails to read. Damaged input gets the fast scans'
// treatment (stepping on blindly, it would make a scan loop forever or read past the end), with
// the same error kinds at the same points.

#include <vector>

#include "objects/model_listing.h"
#include "scene/byte_source.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"

namespace quorvex::testing {

Result<Catalogue> LiteralScanCatalogue(const ByteSource& source, SectionFlags initialFlags = {},
                                       const CatalogueHooks& hooks = {});

ObjectScanResult LiteralScanObjectParameters(const ByteSource& source,
                                             const std::vector<ByteString>& rowNames,
                                             const ObjectScanHooks& hooks = {});

// progressValues (when given) receives every ProgressBar2 value, starting with the 1.
std::vector<ModelName> LiteralListSceneModels(const ByteSource& source,
                                              std::vector<int>* progressValues = nullptr);

// The overview text: for each ticked row its header line and the script bytes, each script's
// length read again at its position.
Result<ByteString> LiteralBuildScriptOverview(const ByteSource& source, const Catalogue& catalogue);

}  // namespace quorvex::testing
