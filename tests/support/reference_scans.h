#pragma once
// Literal reference implementations of the scans, for tests and benchmarks: they follow the text
// of Parts 1.2, 1.4 and 5.3 step by step, one position at a time, with one small window read per
// position through SceneImage. Slow by design; the fast scans must give exactly their results.
//
// The damaged-input policy is the same as the fast scans' (the text would hang or read out of
// bounds there); where the fast scans say which error, the reference gives the same kind.

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
