#pragma once
// The percentages a download pass shows: the progress bar's value after each
// file and the page and file shares in the tray tip. They are computed
// exactly in integers, so that a value of exactly one half rounds to the even
// neighbour whatever the operands are.
#include <cstdint>

namespace kestrelin {

// numerator / denominator rounded to the nearest integer, halves to the even
// one (1/2 gives 0, 3/2 gives 2, -5/2 gives -2). 0 when denominator is 0.
std::int64_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator);

// 100 - (|i - FileCount| / FileCount) x 100, rounded half-even: the bar's
// value after file i. 0 when FileCount is not positive.
int FilePercent(long i, long FileCount);

// 100 - ((|pageIndex - PageCount| + 1) x 100) / (PageCount + 1), rounded
// half-even: how far the crawl is through its pages. 0 when PageCount is
// negative.
int PagePercent(long pageIndex, long PageCount);

}  // namespace kestrelin
