#include "app/ui/page_factory.h"

#include <QLabel>
#include <QVBoxLayout>

#include "support/language.h"
#include "editors/ui/nonperiodic_page.h"
#include "editors/ui/periodic_page.h"
#include "views/ui/epoch_view_page.h"
#include "views/ui/statistics_page.h"

namespace rc {
namespace {

class PlaceholderPage : public ReviewPage {
 public:
  PlaceholderPage(int page, QWidget* parent) : ReviewPage(parent) {
    auto* l = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromStdString(str(pageTitleId(page))), this);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    l->addWidget(label);
  }
};

}  // namespace

int pageTitleId(int page) {
  static const int kIds[kPageCount] = {201, 202, 155, 291};
  return page >= 0 && page < kPageCount ? kIds[page] : 155;
}

bool pageAvailable(int page) { return page >= 0 && page < kPageCount; }

ReviewPage* createReviewPage(int page, ReviewContext& ctx, QWidget* parent) {
  ReviewPage* p = nullptr;
  switch (page) {
    case 0:
      p = new CPeriodic(ctx, parent);
      break;
    case 1:
      p = new CNonPeriodic(ctx, parent);
      break;
    case 3:
      p = new CEpochView(ctx, parent);
      break;
    case 2:
      p = new CHRVStatistics(ctx, parent);
      break;
    default:
      p = new PlaceholderPage(page, parent);
      break;
  }
  return p;
}

}  // namespace rc
