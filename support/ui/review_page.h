#pragma once
// A page of the review-and-edit container (periodic editor, rejection
// editor, statistics page, epoch viewer). The container creates each page
// over its shared ReviewContext, shows one at a time and calls these hooks;
// a page tells the container what changed through the signals.
#include <QString>
#include <QWidget>

namespace rc {

class ReviewPage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // The page became the visible one / stopped being it.
  virtual void pageShown() {}
  virtual void pageHidden() {}

  // Unsaved edits: the container asks the user (string 249) before a signal
  // change, a page change, reconfig, Settings, Auto-edit and closing; Yes
  // saves them, No cancels them. "Restore All" drops them without asking.
  virtual bool hasPendingEdits() const { return false; }
  virtual void savePendingEdits() {}
  virtual void cancelPendingEdits() {}

  // The container changed the selected signal, the time frame, the epoch
  // grid, or recomputed the statistics; the page redraws what depends on it.
  virtual void signalChanged() {}
  virtual void timeFrameChanged() {}
  virtual void epochsChanged() {}
  virtual void statisticsRecomputed() {}

  // The session is about to close: finish and write what the page keeps
  // (segment lists, rejected stretches).
  virtual void sessionClosing() {}

 Q_SIGNALS:
  // Times picked on the page's charts for status panes 2 and 4.
  void statusTimes(const QString& pane2, const QString& pane4);
  // The series or the rejections changed: the statistics are out of date.
  void statisticsOutOfDate();
  // The epoch viewer chose another heart signal slot (0, 1 or 2).
  void heartSignalChosen(int slot);
};

}  // namespace rc
