#pragma once
// Byte-stepping reference implementations of the scans, for tests and benchmarks: the catalogue
// scan, the object-parameter scan and the model listing written the plain way, visiting one
// position at a time with one small window read per position through SceneImage. Slow by design;
// the fast scans must give exactly their results.
//
// Damaged input gets the fast scans' treatment (stepping on blindly, such input would make a scan
// loop forever or read past the end of the file); where the fast scans say which error, the
// reference gives the same kind.

#include <vector>

#include "objects/model_listing.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"

namespace quorvex::testing {

Result<Catalogue> ReferenceScanCatalogue(const SceneImage& image, SectionFlags initialFlags = {},
                                         const CatalogueHooks& hooks = {});

ObjectScanResult ReferenceScanObjectParameters(const SceneImage& image,
                                               const std::vector<ByteString>& rowNames,
                                               const ObjectScanHooks& hooks = {});

// progressValues (when given) receives every ProgressBar2 value, starting with the 1.
std::vector<ModelName> ReferenceListSceneModels(const SceneImage& image,
                                                std::vector<int>* progressValues = nullptr);

}  // namespace quorvex::testing
