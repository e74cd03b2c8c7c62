// Controls of the window layer, addressed by the IDs of the dialog templates.
//
// A control holds its own state under its own lock, so any thread may read
// it and what it reads is exact. Changes from a worker are carried out on the
// user-interface thread while the worker waits (Dispatcher::Send), except the
// high-rate ones - report-list rows, progress position, static text - which
// are applied under the lock from any thread and shown by one coalesced
// refresh. Programmatic changes raise the notifications a screen expects
// (Change for SetText of an edit, ItemChanged for report-list selection);
// the user's actions, which hosts deliver through the User* operations,
// raise the rest.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/report_store.h"
#include "ui/types.h"

namespace ui {

class App;
class Window;

// Declaration of a control, as in a dialog template.
struct ControlSpec {
  ControlKind kind = ControlKind::Static;
  int id = IDC_STATIC;
  std::string caption;
  Rect rect;
  std::uint32_t style = 0;
};

class Control {
 public:
  Control(Window& owner, const ControlSpec& spec);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  int id() const { return spec_.id; }
  ControlKind kind() const { return spec_.kind; }
  Rect rect() const { return spec_.rect; }
  std::uint32_t style() const { return spec_.style; }
  bool HasStyle(std::uint32_t s) const { return (spec_.style & s) != 0; }
  Window& owner() { return owner_; }
  App& app();

  // Any thread.
  std::string Text() const;
  virtual void SetText(std::string_view text);
  bool Enabled() const;
  void Enable(bool enabled);
  bool Visible() const;
  void Show(bool visible);
  std::string Tooltip() const;
  void SetTooltip(std::string text);
  Font font() const;
  void SetFont(Font f);
  // Colours of a static or text box; nullopt text = system text colour,
  // nullopt back = transparent (drawn on the dialog background).
  std::optional<Color> text_color() const;
  std::optional<Color> back_color() const;
  void SetColors(std::optional<Color> text, std::optional<Color> back);

  // Host side (user-interface thread): what changed since the last call.
  std::uint32_t TakeChanges();

 protected:
  friend class Window;
  // Records a change and schedules a coalesced refresh (any thread, no lock held).
  void Touch(std::uint32_t changes);
  // Runs fn on the user-interface thread, waiting for it when called elsewhere.
  void OnUi(const std::function<void()>& fn);
  // Raises a notification to the owner's message map (user-interface thread).
  void Fire(Notify code, int item = -1, int sub_item = -1, bool selected = false);

  mutable std::mutex mu_;
  std::string text_;

 private:
  Window& owner_;
  ControlSpec spec_;
  bool enabled_;
  bool visible_;
  std::string tooltip_;
  Font font_;
  std::optional<Color> text_color_;
  std::optional<Color> back_color_;
  std::uint32_t pending_ = 0;
};

// Static text and group box. SetText may come from any thread without a
// thread switch (status lines of workers).
class Static : public Control {
 public:
  using Control::Control;
  void SetText(std::string_view text) override;
};

// Edit (single or multi-line) and text box.
class Edit : public Control {
 public:
  Edit(Window& owner, const ControlSpec& spec);
  // Raises Change.
  void SetText(std::string_view text) override;
  // Most bytes (code page 949, a Hangul syllable counts 2) the user can type;
  // 0 = no limit. SetText is not limited (the data exchange checks it).
  void SetLimit(int bytes);
  int Limit() const;
  void SetReadOnly(bool read_only);
  bool ReadOnly() const;

  // The user replaces the text by typing: characters beyond the limit, and
  // non-digits in a number edit, are refused as the real control refuses
  // them. Raises Change when the text changed. Returns the accepted text.
  std::string UserType(std::string_view text);

 private:
  int limit_ = 0;
  bool read_only_;
};

// Push button, check box, radio button.
class Button : public Control {
 public:
  using Control::Control;
  // 0 unchecked, 1 checked, 2 indeterminate.
  int Check() const;
  void SetCheck(int state);
  // The user clicks: a check box toggles, a radio button checks itself and
  // clears the others of its group; then Clicked. Disabled: nothing.
  void UserClick();

 private:
  int check_ = 0;
};

// Drop-down list (combo box) and list box.
class ComboBox : public Control {
 public:
  using Control::Control;
  static constexpr int kError = -1;

  // Appends (or, sorted, inserts in order); returns the index.
  int AddString(std::string_view text);
  int InsertString(int index, std::string_view text);  // -1 = at the end
  bool DeleteString(int index);
  void ResetContent();
  int Count() const;
  std::string ItemText(int index) const;
  std::vector<std::string> Items() const;
  int FindStringExact(std::string_view text, int start = -1) const;
  bool SetItemData(int index, std::intptr_t data);
  std::intptr_t ItemData(int index) const;
  // -1 clears the selection; returns false for an invalid index.
  bool SetCurSel(int index);
  int CurSel() const;
  // Text of the selection (or of the edit part of an editable combo box).
  std::string SelectedText() const;

  // The user opens the list (DropDown) or picks an item (SelChange).
  void UserDropDown();
  void UserSelect(int index);

 private:
  struct Item {
    std::string text;
    std::intptr_t data = 0;
  };
  int InsertLocked(int index, std::string_view text);
  std::vector<Item> items_;
  int cur_ = -1;
};

// Images of a report list or tree: one strip of equal-sized images.
struct ImageList {
  int width = 0;
  int height = 0;
  // Pixels of each image, 0xAARRGGBB, width*height each.
  std::vector<std::vector<std::uint32_t>> images;
  // Builds the list from a strip of images `width` wide; pixels of the mask
  // colour become transparent.
  static ImageList FromStrip(int width, int height, const std::vector<std::uint32_t>& strip,
                             int strip_width, Color mask);
};

// Report-style list view over compact storage.
class ReportList : public Control {
 public:
  using Control::Control;
  struct RowChanges {
    bool reset = false;        // anything but appends: the host reloads
    int appended_from = -1;    // rows from here on are new
    bool data_changed = false; // cells or images of known rows changed
    int row_count = 0;
  };

  // Columns (marshalled).
  int InsertColumn(int index, std::string header, int width, Align align = Align::Left);
  bool DeleteColumn(int index);
  void DeleteAllColumns();
  int ColumnCount() const;
  ReportColumn Column(int index) const;
  bool SetColumnWidth(int index, int width);

  // Rows (any thread, no thread switch).
  int InsertItem(int index, std::string_view text, int image = -1);
  // Appends a row with every cell at once; returns its index.
  int AppendRow(const std::vector<std::string_view>& cells, int image = -1, std::intptr_t data = 0);
  bool SetItemText(int row, int column, std::string_view text);
  std::string ItemText(int row, int column) const;
  bool DeleteItem(int row);
  bool DeleteItems(int first, int count);
  void DeleteAllItems();
  int ItemCount() const;
  bool SetItemData(int row, std::intptr_t data);
  std::intptr_t ItemData(int row) const;
  bool SetItemImage(int row, int image);
  int ItemImage(int row) const;
  int FindItemData(std::intptr_t data, int start = 0) const;

  // Selection (reads any thread; changes marshalled, each changed row
  // raises ItemChanged).
  int SelectedCount() const;
  int NextSelected(int after) const;  // -1 = from the start
  std::vector<int> SelectedRows() const;
  bool IsSelected(int row) const;
  bool SetSelected(int row, bool selected);
  void SelectAll(bool selected);

  // Sorting (marshalled).
  void SortByText(int column, bool descending);
  void SortByData(const std::function<int(std::intptr_t, std::intptr_t)>& cmp);

  void SetImageList(ImageList images);
  ImageList Images() const;
  // Hides the list while a worker changes many rows (no repaint per change).
  void SetRedraw(bool redraw);
  bool Redraw() const;

  // The user clicks a row (with ctrl: toggles it, else selects only it;
  // row -1 clears), double-clicks, or clicks a header.
  void UserClickRow(int row, bool ctrl = false);
  void UserDoubleClickRow(int row);
  void UserClickHeader(int column);

  // Host side: runs fn with the store under the lock. fn must not call back
  // into this control.
  template <class F>
  void WithStore(F&& fn) const {
    std::lock_guard lock(mu_);
    fn(store_);
  }
  RowChanges TakeRowChanges();
  std::size_t MemoryUsed() const;

 private:
  void RowsChanged(bool append_only, int first_new);
  std::vector<int> SetSelection(const std::function<std::vector<int>(ReportStore&)>& change);
  ReportStore store_;
  ImageList images_;
  bool redraw_ = true;
  RowChanges row_changes_;
};

// Tree control.
class Tree : public Control {
 public:
  using Control::Control;
  using Handle = int;
  static constexpr Handle kRoot = 0;
  static constexpr Handle kLast = -1;  // InsertItem: after the last sibling

  // Marshalled. Returns the new item's handle (> 0) or 0.
  Handle InsertItem(std::string_view text, Handle parent = kRoot, Handle after = kLast);
  bool DeleteItem(Handle h);  // with its children
  void DeleteAllItems();
  bool SetItemText(Handle h, std::string_view text);
  std::string ItemText(Handle h) const;
  bool SetItemData(Handle h, std::intptr_t data);
  std::intptr_t ItemData(Handle h) const;
  Handle Parent(Handle h) const;
  std::vector<Handle> Children(Handle h) const;
  Handle Selected() const;
  bool Select(Handle h);  // 0 clears; raises SelChange
  bool Expand(Handle h, bool expanded);
  bool Expanded(Handle h) const;
  int Count() const;

  void UserSelect(Handle h);

 private:
  struct Item {
    Handle handle = 0;
    Handle parent = 0;
    std::string text;
    std::intptr_t data = 0;
    bool expanded = false;
    std::vector<Handle> children;
  };
  Item* Find(Handle h);
  const Item* Find(Handle h) const;
  void Erase(Handle h);
  std::vector<Item> items_;  // in handle order; erased items have handle 0
  std::vector<Handle> roots_;
  Handle next_ = 1;
  Handle selected_ = 0;
  int count_ = 0;
};

// Date and time of a date-time picker (local time, no time zone).
struct DateTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  friend auto operator<=>(const DateTime&, const DateTime&) = default;
  bool Valid() const;
  static DateTime Now();
  // strftime-like: %Y %m %d %H %M %S %%.
  std::string Format(std::string_view fmt) const;
};

class DateTimePicker : public Control {
 public:
  using Control::Control;
  DateTime Value() const;
  bool SetValue(const DateTime& v);  // false when not a valid date
  void UserSetValue(const DateTime& v);  // raises DateTimeChange
 private:
  DateTime value_ = DateTime::Now();
};

class Spin : public Control {
 public:
  using Control::Control;
  void SetRange(int lo, int hi);
  std::pair<int, int> Range() const;
  void SetPos(int pos);
  int Pos() const;
  void SetBuddy(int edit_id);
  int Buddy() const;
  // The user presses an arrow (+1 / -1): DeltaPos, and the buddy edit shows the value.
  void UserStep(int delta);

 private:
  int lo_ = 0, hi_ = 100, pos_ = 0, buddy_ = 0;
};

// Progress bar; SetPos and SetRange from any thread without a thread switch.
class Progress : public Control {
 public:
  using Control::Control;
  void SetRange(int lo, int hi);
  std::pair<int, int> Range() const;
  void SetPos(int pos);  // clamped to the range
  int Pos() const;

 private:
  int lo_ = 0, hi_ = 100, pos_ = 0;
};

}  // namespace ui
