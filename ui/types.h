// Basic values shared by every part of the window layer: control IDs of the
// standard buttons, message-box flags and results, notifications, styles,
// colours and rectangles in dialog units.
#pragma once

#include <cstdint>
#include <string>

namespace ui {

// Standard command IDs (the values the dialog templates use).
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
// ID of a control that is never addressed (labels).
inline constexpr int IDC_STATIC = -1;

// Message-box buttons (low nibble) and icons.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_OKCANCEL = 0x1;
inline constexpr unsigned MB_YESNOCANCEL = 0x3;
inline constexpr unsigned MB_YESNO = 0x4;
inline constexpr unsigned MB_BUTTONMASK = 0xF;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr unsigned MB_ICONMASK = 0xF0;

// Captions of the program's message boxes.
inline constexpr const char* kCaptionError = "에러";
inline constexpr const char* kCaptionNotice = "알림";
inline constexpr const char* kCaptionConfirm = "확인";
inline constexpr const char* kCaptionWarning = "경고";

// What a control reports to its window's message map.
enum class Notify {
  Clicked,      // button, check box, radio button; report-list row click
  DoubleClicked,
  Change,       // edit text changed (by typing or by SetText)
  SelChange,    // drop-down list, list box, tree: selection changed
  DropDown,     // drop-down list is about to open
  ItemChanged,  // report list: a row's selection state changed (item, state)
  ColumnClick,  // report list: header clicked (sub_item = column)
  DateTimeChange,
  DeltaPos,     // spin: position changed (item = new position)
  KillFocus,
  SetFocus,
  Command,      // menu or toolbar command (id = command ID)
};

// What came with a notification.
struct NotifyInfo {
  int id = 0;
  Notify code = Notify::Clicked;
  int item = -1;      // row or item index, new spin position
  int sub_item = -1;  // column
  bool selected = false;  // ItemChanged: the new state
};

enum class ControlKind {
  Static,
  Edit,
  Button,
  CheckBox,
  Radio,
  GroupBox,
  ComboBox,
  ListBox,
  ReportList,
  Tree,
  DateTime,
  Spin,
  Progress,
  TextBox,  // rich multi-line text box with its own colours
};

// Style flags of a control declaration; each applies to the kinds named.
enum Style : std::uint32_t {
  kStyleNone = 0,
  kHidden = 1u << 0,          // all: not shown at creation
  kDisabled = 1u << 1,        // all: disabled at creation
  kGroup = 1u << 2,           // radio: first of a group
  kTabStop = 1u << 3,
  kPassword = 1u << 4,        // edit
  kReadOnly = 1u << 5,        // edit, text box
  kMultiline = 1u << 6,       // edit
  kNumber = 1u << 7,          // edit: digits only when typed
  kWantReturn = 1u << 8,      // multi-line edit: Enter inserts a line break
  kSorted = 1u << 9,          // drop-down list, list box: items kept sorted
  kDropDownList = 1u << 10,   // combo box without an edit part
  kDefault = 1u << 11,        // push button: the default button (Enter)
  kOwnerDraw = 1u << 12,      // push button: three-dimensional edge, hover highlight
  kFlat = 1u << 13,           // push button: flat look
  kCenter = 1u << 14,         // static, edit: centred text
  kRight = 1u << 15,          // static, edit: right-aligned text
  kMultiSelect = 1u << 16,    // report list, list box: several rows selectable
  kGridLines = 1u << 17,      // report list
  kFullRowSelect = 1u << 18,  // report list
  kTimeFormat = 1u << 19,     // date-time picker shows the time
  kSunken = 1u << 20,         // static: sunken edge
  kVScroll = 1u << 21,
  kHScroll = 1u << 22,
};
inline constexpr std::uint32_t operator|(Style a, Style b) {
  return static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b);
}

struct Color {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Color&, const Color&) = default;
};
inline constexpr Color Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {r, g, b}; }

// The background of every dialog and form view.
inline constexpr Color kDialogBackground = Rgb(209, 247, 254);

// A rectangle in dialog units (x, y, width, height).
struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A font asked for by a screen; an empty face means the host's dialog font.
struct Font {
  std::string face;
  int height = 0;    // pixels; 0 = the host's default
  int weight = 400;  // 700 = bold
  friend bool operator==(const Font&, const Font&) = default;
};

}  // namespace ui
