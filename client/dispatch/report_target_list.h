// The send list control of the screens as a TargetList, so that the import
// and the send work on the rows the user sees. Any thread: the control
// guards its rows with its own lock.
#pragma once

#include "client/dispatch/send_list.h"
#include "ui/controls.h"

namespace dispatch {

class ReportTargetList : public TargetList {
 public:
  explicit ReportTargetList(ui::ReportList& list) : list_(list) {}

  std::size_t size() const override { return static_cast<std::size_t>(list_.ItemCount()); }
  void Clear() override { list_.DeleteAllItems(); }
  void AppendNumbered(std::string_view phone, const std::array<std::string_view, 4>& info) override;
  std::string Cell(std::size_t index, int column) const override;
  void Set(std::size_t index, int column, std::string_view value) override;
  // Hides the list while the rows go, so it is not repainted per row.
  void RemoveFront(std::size_t n) override;

 private:
  ui::ReportList& list_;
};

}  // namespace dispatch
