#pragma once
// The four pages of the review-and-edit container, made in one place: page 0
// periodic editor, 1 rejection editor, 2 statistics, 3 epoch viewer. A page
// whose widget has not been built yet is a placeholder naming it.
#include "app/review_context.h"
#include "support/ui/review_page.h"

namespace rc {

inline constexpr int kPageCount = 4;
// The language string of a page button (201, 202, 155, 291).
int pageTitleId(int page);
// Whether the page is a real page (not a placeholder).
bool pageAvailable(int page);
ReviewPage* createReviewPage(int page, ReviewContext& ctx, QWidget* parent);

}  // namespace rc
