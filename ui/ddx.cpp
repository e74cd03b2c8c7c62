#include "ui/ddx.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/codepage.h"
#include "ui/window.h"

namespace ui {

namespace {

std::string Printf(const char* fmt, auto... args) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool ParseInteger(std::string_view text, long long& out) {
  std::string s(Trim(text));
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno != 0 || end != s.c_str() + s.size()) return false;
  out = v;
  return true;
}

bool ParseDouble(std::string_view text, double& out) {
  std::string s(Trim(text));
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

std::string FormatDouble(double v) { return Printf("%.15g", v); }

}  // namespace

void DataExchange::Fail(const std::string& message) {
  App& app = window_.app();
  app.MessageBox(&window_, message, app.app_name(), MB_OK | MB_ICONWARNING);
  if (last_id_ != 0) window_.SetFocus(last_id_);
  throw Failed{};
}

void DDX_Text(DataExchange& dx, int id, std::string& value) {
  dx.set_last_id(id);
  Control& c = dx.window().Get(id);
  if (dx.save()) {
    value = c.Text();
  } else {
    c.SetText(value);
  }
}

void DDX_Text(DataExchange& dx, int id, long long& value) {
  dx.set_last_id(id);
  Control& c = dx.window().Get(id);
  if (!dx.save()) {
    c.SetText(std::to_string(value));
    return;
  }
  long long v;
  if (!ParseInteger(c.Text(), v)) dx.Fail(kMsgInteger);
  value = v;
}

void DDX_Text(DataExchange& dx, int id, int& value) {
  long long v = value;
  DDX_Text(dx, id, v);
  if (dx.save()) {
    if (v < INT_MIN || v > INT_MAX) dx.Fail(Printf(kMsgIntegerRange, static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
    value = static_cast<int>(v);
  }
}

void DDX_Text(DataExchange& dx, int id, double& value) {
  dx.set_last_id(id);
  Control& c = dx.window().Get(id);
  if (!dx.save()) {
    c.SetText(FormatDouble(value));
    return;
  }
  double v;
  if (!ParseDouble(c.Text(), v)) dx.Fail(kMsgNumber);
  value = v;
}

void DDX_Check(DataExchange& dx, int id, int& value) {
  dx.set_last_id(id);
  auto& b = dx.window().Get<Button>(id);
  if (dx.save()) {
    value = b.Check();
  } else {
    b.SetCheck(value);
  }
}

void DDX_Radio(DataExchange& dx, int id, int& value) {
  dx.set_last_id(id);
  std::vector<Button*> group = dx.window().RadioGroup(id);
  if (dx.save()) {
    value = -1;
    for (std::size_t i = 0; i < group.size(); ++i) {
      if (group[i]->Check() == 1) {
        value = static_cast<int>(i);
        break;
      }
    }
  } else {
    for (std::size_t i = 0; i < group.size(); ++i) group[i]->SetCheck(static_cast<int>(i) == value ? 1 : 0);
  }
}

void DDX_CBIndex(DataExchange& dx, int id, int& value) {
  dx.set_last_id(id);
  auto& cb = dx.window().Get<ComboBox>(id);
  if (dx.save()) {
    value = cb.CurSel();
  } else {
    cb.SetCurSel(value);
  }
}

void DDX_CBString(DataExchange& dx, int id, std::string& value) {
  dx.set_last_id(id);
  auto& cb = dx.window().Get<ComboBox>(id);
  if (dx.save()) {
    value = cb.SelectedText();
  } else {
    int i = cb.FindStringExact(value);
    cb.SetCurSel(i);
    if (i < 0 && !cb.HasStyle(kDropDownList)) cb.SetText(value);
  }
}

void DDX_DateTime(DataExchange& dx, int id, DateTime& value) {
  dx.set_last_id(id);
  auto& p = dx.window().Get<DateTimePicker>(id);
  if (dx.save()) {
    value = p.Value();
  } else {
    p.SetValue(value);
  }
}

void DDV_MaxChars(DataExchange& dx, const std::string& value, int max_bytes) {
  if (!dx.save()) {
    if (auto* e = dx.window().ItemAs<Edit>(dx.last_id())) e->SetLimit(max_bytes);
    return;
  }
  if (platform::Cp949Length(value) > static_cast<std::size_t>(max_bytes)) dx.Fail(Printf(kMsgMaxChars, max_bytes));
}

void DDV_MinMaxInt(DataExchange& dx, long long value, long long min, long long max) {
  if (dx.save() && (value < min || value > max)) dx.Fail(Printf(kMsgIntegerRange, min, max));
}

void DDV_MinMaxDouble(DataExchange& dx, double value, double min, double max) {
  if (dx.save() && (value < min || value > max)) dx.Fail(Printf(kMsgNumberRange, min, max));
}

}  // namespace ui
