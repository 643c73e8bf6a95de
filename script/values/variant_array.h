// Variant arrays: 1 to 5 dimensions, each with its own low and high bound,
// every element a Variant (so an element may itself be an array).
//
// An array is shared between the values that hold it and copied when one
// of them changes it (Variant::MutableArray()); a VariantArray reached
// through a const reference is shared, one reached through MutableArray()
// belongs to that value alone.
//
// Elements are stored with the last index varying fastest: in a 2 x 3
// array, [0,0] [0,1] [0,2] [1,0] ...
#ifndef VANTREL_SCRIPT_VALUES_VARIANT_ARRAY_H_
#define VANTREL_SCRIPT_VALUES_VARIANT_ARRAY_H_

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "script/values/variant.h"

namespace vantrel {

// "Variant or safe array index out of bounds", and the same error class for
// "String index out of bounds".
VANTREL_ERROR_CLASS(VariantIndexError, VariantError);
// An array that cannot be made: "Variant arrays with %d dimensions is still
// not supported" or "Error creating variant or safe array".
VANTREL_ERROR_CLASS(VariantArrayCreateError, VariantError);

// The bounds of one dimension; high = low - 1 makes it empty.
struct VariantArrayBounds {
  std::int32_t low = 0;
  std::int32_t high = -1;
};

class VariantArray {
 public:
  static constexpr int kMaxDimensions = 5;

  VariantArray(const VariantArray&) = delete;
  VariantArray& operator=(const VariantArray&) = delete;

  int DimCount() const noexcept { return dim_count_; }
  // The bounds of a dimension counted from 0; VariantIndexError when there
  // is no such dimension.
  VariantArrayBounds Bounds(int dimension) const;
  std::size_t ElementCount() const noexcept { return elements_.size(); }

  // The element at `indexes`, one index per dimension. A wrong number of
  // indexes or an index outside its bounds raises VariantIndexError.
  const Variant& At(std::span<const std::int32_t> indexes) const;
  Variant& At(std::span<const std::int32_t> indexes) { return elements_[Offset(indexes)]; }
  const Variant& At(std::initializer_list<std::int32_t> indexes) const {
    return At(std::span<const std::int32_t>(indexes.begin(), indexes.size()));
  }
  Variant& At(std::initializer_list<std::int32_t> indexes) {
    return At(std::span<const std::int32_t>(indexes.begin(), indexes.size()));
  }

  // Every element in storage order.
  std::span<const Variant> Elements() const noexcept { return elements_; }
  std::span<Variant> Elements() noexcept { return elements_; }

 private:
  friend class Variant;

  VariantArray() = default;
  ~VariantArray() = default;

  static VariantArray* Create(std::span<const VariantArrayBounds> bounds);
  static VariantArray* FromElements(std::vector<Variant> elements);
  VariantArray* Clone() const;

  void Retain() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  void Release() noexcept {
    if (refs_.load(std::memory_order_acquire) == 1 ||
        refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
      delete this;
    }
  }
  bool IsUnique() const noexcept { return refs_.load(std::memory_order_acquire) == 1; }

  std::size_t Offset(std::span<const std::int32_t> indexes) const;

  std::atomic<std::size_t> refs_{1};
  int dim_count_ = 0;
  std::array<VariantArrayBounds, kMaxDimensions> bounds_{};  // First dim_count_ used.
  std::vector<Variant> elements_;                            // Product of the dimensions' lengths.
};

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_VALUES_VARIANT_ARRAY_H_
