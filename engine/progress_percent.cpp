#include "engine/progress_percent.h"

#include <cstdlib>

namespace kestrelin {

std::int64_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
  if (denominator == 0) return 0;
  if (denominator < 0) {
    numerator = -numerator;
    denominator = -denominator;
  }
  const bool negative = numerator < 0;
  const std::int64_t magnitude = negative ? -numerator : numerator;
  std::int64_t quotient = magnitude / denominator;
  const std::int64_t twiceRest = 2 * (magnitude % denominator);
  if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 != 0)) ++quotient;
  return negative ? -quotient : quotient;
}

int FilePercent(long i, long FileCount) {
  if (FileCount <= 0) return 0;
  const std::int64_t count = FileCount;
  const std::int64_t distance = std::llabs(static_cast<std::int64_t>(i) - count);
  return static_cast<int>(RoundHalfEven(100 * count - 100 * distance, count));
}

int PagePercent(long pageIndex, long PageCount) {
  if (PageCount < 0) return 0;
  const std::int64_t pages = static_cast<std::int64_t>(PageCount) + 1;
  const std::int64_t distance = std::llabs(static_cast<std::int64_t>(pageIndex) - PageCount) + 1;
  return static_cast<int>(RoundHalfEven(100 * pages - 100 * distance, pages));
}

}  // namespace kestrelin
