#include "client/dispatch/report_target_list.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace dispatch {

void ReportTargetList::AppendNumbered(std::string_view phone, const std::array<std::string_view, 4>& info) {
  const std::string number = std::to_string(list_.ItemCount() + 1);
  list_.AppendRow({number, phone, info[0], info[1], info[2], info[3]});
}

std::string ReportTargetList::Cell(std::size_t index, int column) const {
  if (index > static_cast<std::size_t>(INT_MAX)) return {};
  return list_.ItemText(static_cast<int>(index), column);
}

void ReportTargetList::Set(std::size_t index, int column, std::string_view value) {
  if (index > static_cast<std::size_t>(INT_MAX)) return;
  list_.SetItemText(static_cast<int>(index), column, value);
}

void ReportTargetList::RemoveFront(std::size_t n) {
  const int count = static_cast<int>(std::min<std::size_t>(n, size()));
  if (count == 0) return;
  list_.SetRedraw(false);
  list_.DeleteItems(0, count);
  list_.SetRedraw(true);
}

}  // namespace dispatch
