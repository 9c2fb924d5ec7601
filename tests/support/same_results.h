#pragma once
// Comparisons of scan results, field by field. Each returns an empty string when the two results
// are identical and otherwise a short description of the first difference, so that a test, a fuzz
// target or a benchmark run can say exactly where a fast scan and the literal one part ways:
//   EXPECT_EQ(CatalogueDifference(fast, literal), "");

#include <string>
#include <vector>

#include "objects/model_listing.h"
#include "scene/catalogue.h"
#include "scene/object_params.h"

namespace quorvex::testing {

// Rows, positions, section headers and flags; failures by their kind.
std::string CatalogueDifference(const Catalogue& a, const Catalogue& b);
std::string CatalogueDifference(const Result<Catalogue>& a, const Result<Catalogue>& b);
// Matches compared in order; floats by their bits. Errors by kind.
std::string ObjectScanDifference(const ObjectScanResult& a, const ObjectScanResult& b);
std::string ModelListDifference(const std::vector<ModelName>& a, const std::vector<ModelName>& b);
std::string SequenceDifference(const std::vector<int>& a, const std::vector<int>& b);
std::string TextDifference(const Result<ByteString>& a, const Result<ByteString>& b);

}  // namespace quorvex::testing
