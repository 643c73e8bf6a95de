#include "script/values/variant_array.h"

#include <limits>
#include <utility>

#include "base/format.h"

namespace vantrel {
namespace {

constexpr char kIndexOutOfBounds[] = "Variant or safe array index out of bounds";
constexpr char kUnsupportedDimensions[] =
    "Variant arrays with %d dimensions is still not supported";
constexpr char kCannotCreate[] = "Error creating variant or safe array";

// More elements than this are refused up front rather than attempted.
constexpr std::uint64_t kMaxElements = std::numeric_limits<std::int32_t>::max();

}  // namespace

VariantArray* VariantArray::Create(std::span<const VariantArrayBounds> bounds) {
  if (bounds.empty() || bounds.size() > static_cast<std::size_t>(kMaxDimensions)) {
    throw VariantArrayCreateError(
        Format(kUnsupportedDimensions, {static_cast<std::int64_t>(bounds.size())}));
  }
  std::uint64_t count = 1;
  for (const VariantArrayBounds& b : bounds) {
    const std::int64_t length = std::int64_t{b.high} - b.low + 1;
    if (length < 0) throw VariantArrayCreateError(kCannotCreate);
    count *= static_cast<std::uint64_t>(length);  // Each factor is below 2^32.
    if (count > kMaxElements) throw VariantArrayCreateError(kCannotCreate);
  }
  VariantArray* array = new VariantArray();
  array->dim_count_ = static_cast<int>(bounds.size());
  for (std::size_t d = 0; d < bounds.size(); ++d) array->bounds_[d] = bounds[d];
  try {
    array->elements_.resize(static_cast<std::size_t>(count));
  } catch (...) {
    delete array;
    throw;
  }
  return array;
}

VariantArray* VariantArray::FromElements(std::vector<Variant> elements) {
  if (elements.size() > kMaxElements) throw VariantArrayCreateError(kCannotCreate);
  VariantArray* array = new VariantArray();
  array->dim_count_ = 1;
  array->bounds_[0] = {0, static_cast<std::int32_t>(elements.size()) - 1};
  array->elements_ = std::move(elements);
  return array;
}

VariantArray* VariantArray::Clone() const {
  VariantArray* copy = new VariantArray();
  copy->dim_count_ = dim_count_;
  copy->bounds_ = bounds_;
  try {
    copy->elements_ = elements_;
  } catch (...) {
    delete copy;
    throw;
  }
  return copy;
}

VariantArrayBounds VariantArray::Bounds(int dimension) const {
  if (dimension < 0 || dimension >= dim_count_) throw VariantIndexError(kIndexOutOfBounds);
  return bounds_[static_cast<std::size_t>(dimension)];
}

std::size_t VariantArray::Offset(std::span<const std::int32_t> indexes) const {
  if (indexes.size() != static_cast<std::size_t>(dim_count_)) {
    throw VariantIndexError(kIndexOutOfBounds);
  }
  std::size_t offset = 0;
  for (std::size_t d = 0; d < indexes.size(); ++d) {
    const VariantArrayBounds& b = bounds_[d];
    if (indexes[d] < b.low || indexes[d] > b.high) throw VariantIndexError(kIndexOutOfBounds);
    const auto length = static_cast<std::size_t>(std::int64_t{b.high} - b.low + 1);
    offset = offset * length + static_cast<std::size_t>(std::int64_t{indexes[d]} - b.low);
  }
  return offset;
}

const Variant& VariantArray::At(std::span<const std::int32_t> indexes) const {
  return elements_[Offset(indexes)];
}

}  // namespace vantrel
