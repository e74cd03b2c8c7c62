// Dialog data exchange: moving values between a dialog's controls and its
// members, with the standard checks and their messages.
//
// DoDataExchange of a dialog calls these helpers; with save() false they load
// the controls from the members (and set edit limits), with save() true they
// take the controls' values into the members and check them. A failed check
// shows its message (caption: the application name, warning icon), gives the
// control the focus and ends the exchange; UpdateData then returns false.
// Members exchanged before the failing check keep their new values.
#pragma once

#include <string>

#include "ui/controls.h"

namespace ui {

class Window;

// Messages of the checks (printf formats).
inline constexpr const char* kMsgMaxChars = "%d바이트 이내로 입력하십시오.";
inline constexpr const char* kMsgInteger = "정수를 입력하십시오.";
inline constexpr const char* kMsgIntegerRange = "%lld에서 %lld 사이의 정수를 입력하십시오.";
inline constexpr const char* kMsgNumber = "숫자를 입력하십시오.";
inline constexpr const char* kMsgNumberRange = "%g에서 %g 사이의 숫자를 입력하십시오.";

class DataExchange {
 public:
  // Thrown to end an exchange after a failed check (caught by UpdateData).
  struct Failed {};

  DataExchange(Window& window, bool save) : window_(window), save_(save) {}
  Window& window() { return window_; }
  bool save() const { return save_; }
  // ID of the control exchanged last (the one a following check refers to).
  int last_id() const { return last_id_; }
  void set_last_id(int id) { last_id_ = id; }

  // Shows message, focuses the last control and throws Failed.
  [[noreturn]] void Fail(const std::string& message);

 private:
  Window& window_;
  bool save_;
  int last_id_ = 0;
};

void DDX_Text(DataExchange& dx, int id, std::string& value);
// Integer edit: blanks around the number are allowed, anything else fails.
void DDX_Text(DataExchange& dx, int id, int& value);
void DDX_Text(DataExchange& dx, int id, long long& value);
void DDX_Text(DataExchange& dx, int id, double& value);
void DDX_Check(DataExchange& dx, int id, int& value);
// Index of the checked radio button of the group that starts at id; -1 none.
void DDX_Radio(DataExchange& dx, int id, int& value);
// Selected index of a drop-down list or list box.
void DDX_CBIndex(DataExchange& dx, int id, int& value);
// Selected text of a drop-down list (load: selects the exact item).
void DDX_CBString(DataExchange& dx, int id, std::string& value);
void DDX_DateTime(DataExchange& dx, int id, DateTime& value);

// Limit in code page 949 bytes (a Hangul syllable counts 2). Loading sets
// the edit's limit; saving checks the value.
void DDV_MaxChars(DataExchange& dx, const std::string& value, int max_bytes);
void DDV_MinMaxInt(DataExchange& dx, long long value, long long min, long long max);
void DDV_MinMaxDouble(DataExchange& dx, double value, double min, double max);

}  // namespace ui
