#include "ui/controls.h"

#include <algorithm>
#include <cassert>
#include <ctime>
#include <utility>

#include "platform/codepage.h"
#include "ui/app.h"
#include "ui/window.h"

namespace ui {

// ---------------------------------------------------------------- Control

Control::Control(Window& owner, const ControlSpec& spec)
    : text_(spec.caption),
      owner_(owner),
      spec_(spec),
      enabled_((spec.style & kDisabled) == 0),
      visible_((spec.style & kHidden) == 0) {}

Control::~Control() { owner_.app().ForgetDirty(this); }

App& Control::app() { return owner_.app(); }

std::string Control::Text() const {
  std::lock_guard lock(mu_);
  return text_;
}

void Control::SetText(std::string_view text) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      if (text_ == text) return;
      text_ = std::string(text);
    }
    Touch(kChangeText);
  });
}

bool Control::Enabled() const {
  std::lock_guard lock(mu_);
  return enabled_;
}

void Control::Enable(bool enabled) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      if (enabled_ == enabled) return;
      enabled_ = enabled;
    }
    Touch(kChangeEnabled);
  });
}

bool Control::Visible() const {
  std::lock_guard lock(mu_);
  return visible_;
}

void Control::Show(bool visible) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      if (visible_ == visible) return;
      visible_ = visible;
    }
    Touch(kChangeVisible);
  });
}

std::string Control::Tooltip() const {
  std::lock_guard lock(mu_);
  return tooltip_;
}

void Control::SetTooltip(std::string text) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      tooltip_ = std::move(text);
    }
    Touch(kChangeLook);
  });
}

Font Control::font() const {
  std::lock_guard lock(mu_);
  return font_;
}

void Control::SetFont(Font f) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      font_ = std::move(f);
    }
    Touch(kChangeLook);
  });
}

std::optional<Color> Control::text_color() const {
  std::lock_guard lock(mu_);
  return text_color_;
}

std::optional<Color> Control::back_color() const {
  std::lock_guard lock(mu_);
  return back_color_;
}

void Control::SetColors(std::optional<Color> text, std::optional<Color> back) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      text_color_ = text;
      back_color_ = back;
    }
    Touch(kChangeLook);
  });
}

std::uint32_t Control::TakeChanges() {
  std::lock_guard lock(mu_);
  return std::exchange(pending_, 0u);
}

void Control::Touch(std::uint32_t changes) {
  {
    std::lock_guard lock(mu_);
    pending_ |= changes;
  }
  app().MarkDirty(this);
}

void Control::OnUi(const std::function<void()>& fn) {
  if (app().OnUiThread()) {
    fn();
  } else {
    app().dispatcher().Send(fn);
  }
}

void Control::Fire(Notify code, int item, int sub_item, bool selected) {
  assert(app().OnUiThread());
  NotifyInfo info;
  info.id = id();
  info.code = code;
  info.item = item;
  info.sub_item = sub_item;
  info.selected = selected;
  owner_.Dispatch(info);
}

// ---------------------------------------------------------------- Static

void Static::SetText(std::string_view text) {
  {
    std::lock_guard lock(mu_);
    if (text_ == text) return;
    text_ = std::string(text);
  }
  Touch(kChangeText);
}

// ---------------------------------------------------------------- Edit

Edit::Edit(Window& owner, const ControlSpec& spec)
    : Control(owner, spec), read_only_((spec.style & kReadOnly) != 0) {}

void Edit::SetText(std::string_view text) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      if (text_ == text) return;
      text_ = std::string(text);
    }
    Touch(kChangeText);
    Fire(Notify::Change);
  });
}

void Edit::SetLimit(int bytes) {
  {
    std::lock_guard lock(mu_);
    limit_ = std::max(0, bytes);
  }
  Touch(kChangeLook);
}

int Edit::Limit() const {
  std::lock_guard lock(mu_);
  return limit_;
}

void Edit::SetReadOnly(bool read_only) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      read_only_ = read_only;
    }
    Touch(kChangeLook);
  });
}

bool Edit::ReadOnly() const {
  std::lock_guard lock(mu_);
  return read_only_;
}

namespace {
// Length of the UTF-8 sequence that starts with byte b (1 for stray bytes).
std::size_t Utf8SeqLen(unsigned char b) {
  if (b >= 0xF0) return 4;
  if (b >= 0xE0) return 3;
  if (b >= 0xC0) return 2;
  return 1;
}
}  // namespace

std::string Edit::UserType(std::string_view text) {
  assert(app().OnUiThread());
  if (!Enabled() || ReadOnly()) return Text();
  const int limit = Limit();
  const bool digits_only = HasStyle(kNumber);
  const bool multiline = HasStyle(kMultiline);
  std::string accepted;
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = std::min(Utf8SeqLen(static_cast<unsigned char>(text[i])), text.size() - i);
    std::string_view ch = text.substr(i, n);
    i += n;
    if (digits_only && !(n == 1 && ch[0] >= '0' && ch[0] <= '9')) continue;
    if (!multiline && (ch == "\r" || ch == "\n")) continue;
    std::size_t w = platform::Cp949Length(ch);
    if (limit > 0 && bytes + w > static_cast<std::size_t>(limit)) break;
    bytes += w;
    accepted.append(ch);
  }
  bool changed;
  {
    std::lock_guard lock(mu_);
    changed = text_ != accepted;
    text_ = accepted;
  }
  if (changed) {
    Touch(kChangeText);
    Fire(Notify::Change);
  }
  return accepted;
}

// ---------------------------------------------------------------- Button

int Button::Check() const {
  std::lock_guard lock(mu_);
  return check_;
}

void Button::SetCheck(int state) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      if (check_ == state) return;
      check_ = std::clamp(state, 0, 2);
    }
    Touch(kChangeSelection);
  });
}

void Button::UserClick() {
  assert(app().OnUiThread());
  if (!Enabled()) return;
  if (kind() == ControlKind::CheckBox) {
    SetCheck(Check() == 1 ? 0 : 1);
  } else if (kind() == ControlKind::Radio) {
    for (Button* b : owner().RadioGroup(id())) b->SetCheck(b == this ? 1 : 0);
  }
  Fire(Notify::Clicked);
}

// ---------------------------------------------------------------- ComboBox

namespace {
// Order of a sorted list: ASCII letters without case, then bytes.
bool SortedBefore(std::string_view a, std::string_view b) {
  auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; };
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = fold(static_cast<unsigned char>(a[i]));
    unsigned char y = fold(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}
}  // namespace

int ComboBox::InsertLocked(int index, std::string_view text) {
  int n = static_cast<int>(items_.size());
  if (index < 0 || index > n) index = n;
  if (index == n && HasStyle(kSorted)) {
    auto it = std::upper_bound(items_.begin(), items_.end(), text,
                               [](std::string_view t, const Item& i) { return SortedBefore(t, i.text); });
    index = static_cast<int>(it - items_.begin());
  }
  items_.insert(items_.begin() + index, Item{std::string(text), 0});
  if (cur_ >= index) ++cur_;
  return index;
}

int ComboBox::AddString(std::string_view text) {
  int r = kError;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      r = InsertLocked(-1, text);
    }
    Touch(kChangeItems);
  });
  return r;
}

int ComboBox::InsertString(int index, std::string_view text) {
  int r = kError;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      if (index > static_cast<int>(items_.size())) return;
      // An explicit position is kept even in a sorted list, as the control does.
      r = index < 0 ? InsertLocked(-1, text) : InsertLocked(index, text);
      if (index >= 0 && r != index) {
        // InsertLocked sorted an end insert; put it where asked instead.
        Item it = items_[static_cast<std::size_t>(r)];
        items_.erase(items_.begin() + r);
        items_.insert(items_.begin() + index, it);
        r = index;
      }
    }
    Touch(kChangeItems);
  });
  return r;
}

bool ComboBox::DeleteString(int index) {
  bool ok = false;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      if (index < 0 || index >= static_cast<int>(items_.size())) return;
      items_.erase(items_.begin() + index);
      if (cur_ == index) {
        cur_ = -1;
      } else if (cur_ > index) {
        --cur_;
      }
      ok = true;
    }
    Touch(kChangeItems | kChangeSelection);
  });
  return ok;
}

void ComboBox::ResetContent() {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      items_.clear();
      cur_ = -1;
      if (HasStyle(kDropDownList)) text_.clear();
    }
    Touch(kChangeItems | kChangeSelection);
  });
}

int ComboBox::Count() const {
  std::lock_guard lock(mu_);
  return static_cast<int>(items_.size());
}

std::string ComboBox::ItemText(int index) const {
  std::lock_guard lock(mu_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return {};
  return items_[static_cast<std::size_t>(index)].text;
}

std::vector<std::string> ComboBox::Items() const {
  std::lock_guard lock(mu_);
  std::vector<std::string> out;
  for (const Item& i : items_) out.push_back(i.text);
  return out;
}

int ComboBox::FindStringExact(std::string_view text, int start) const {
  std::lock_guard lock(mu_);
  int n = static_cast<int>(items_.size());
  // Searches from after start to the end, then wraps round, as the control does.
  for (int k = 1; k <= n; ++k) {
    int i = ((start < 0 ? -1 : start) + k) % n;
    if (items_[static_cast<std::size_t>(i)].text == text) return i;
  }
  return kError;
}

bool ComboBox::SetItemData(int index, std::intptr_t data) {
  std::lock_guard lock(mu_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return false;
  items_[static_cast<std::size_t>(index)].data = data;
  return true;
}

std::intptr_t ComboBox::ItemData(int index) const {
  std::lock_guard lock(mu_);
  if (index < 0 || index >= static_cast<int>(items_.size())) return 0;
  return items_[static_cast<std::size_t>(index)].data;
}

bool ComboBox::SetCurSel(int index) {
  bool ok = false;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      if (index < -1 || index >= static_cast<int>(items_.size())) {
        cur_ = -1;
      } else {
        cur_ = index;
        ok = true;
      }
      if (cur_ >= 0) text_ = items_[static_cast<std::size_t>(cur_)].text;
      else if (HasStyle(kDropDownList)) text_.clear();
    }
    Touch(kChangeSelection | kChangeText);
  });
  return ok;
}

int ComboBox::CurSel() const {
  std::lock_guard lock(mu_);
  return cur_;
}

std::string ComboBox::SelectedText() const {
  std::lock_guard lock(mu_);
  if (cur_ >= 0) return items_[static_cast<std::size_t>(cur_)].text;
  return HasStyle(kDropDownList) ? std::string() : text_;
}

void ComboBox::UserDropDown() {
  assert(app().OnUiThread());
  if (!Enabled()) return;
  Fire(Notify::DropDown);
}

void ComboBox::UserSelect(int index) {
  assert(app().OnUiThread());
  if (!Enabled() || index < 0 || index >= Count()) return;
  SetCurSel(index);
  Fire(Notify::SelChange, index);
}

// ---------------------------------------------------------------- ImageList

ImageList ImageList::FromStrip(int width, int height, const std::vector<std::uint32_t>& strip, int strip_width,
                               Color mask) {
  ImageList list;
  list.width = width;
  list.height = height;
  if (width <= 0 || height <= 0 || strip_width < width ||
      strip.size() < static_cast<std::size_t>(strip_width) * static_cast<std::size_t>(height)) {
    return list;
  }
  const std::uint32_t key = (std::uint32_t{mask.r} << 16) | (std::uint32_t{mask.g} << 8) | mask.b;
  for (int n = 0; n + width <= strip_width; n += width) {
    std::vector<std::uint32_t> img(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        std::uint32_t p = strip[static_cast<std::size_t>(y) * static_cast<std::size_t>(strip_width) +
                                static_cast<std::size_t>(n + x)] & 0xFFFFFFu;
        img[static_cast<std::size_t>(y * width + x)] = p == key ? 0u : (0xFF000000u | p);
      }
    }
    list.images.push_back(std::move(img));
  }
  return list;
}

// ---------------------------------------------------------------- ReportList

int ReportList::InsertColumn(int index, std::string header, int width, Align align) {
  int r = -1;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      r = store_.InsertColumn(index, ReportColumn{std::move(header), width, align});
      row_changes_.reset = true;
    }
    Touch(kChangeColumns | kChangeRows);
  });
  return r;
}

bool ReportList::DeleteColumn(int index) {
  bool ok = false;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      ok = store_.DeleteColumn(index);
      row_changes_.reset = true;
    }
    Touch(kChangeColumns | kChangeRows);
  });
  return ok;
}

void ReportList::DeleteAllColumns() {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      while (store_.ColumnCount() > 0) store_.DeleteColumn(store_.ColumnCount() - 1);
      row_changes_.reset = true;
    }
    Touch(kChangeColumns | kChangeRows);
  });
}

int ReportList::ColumnCount() const {
  std::lock_guard lock(mu_);
  return store_.ColumnCount();
}

ReportColumn ReportList::Column(int index) const {
  std::lock_guard lock(mu_);
  if (index < 0 || index >= store_.ColumnCount()) return {};
  return store_.Column(index);
}

bool ReportList::SetColumnWidth(int index, int width) {
  bool ok = false;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      ok = store_.SetColumnWidth(index, width);
    }
    Touch(kChangeColumns);
  });
  return ok;
}

void ReportList::RowsChanged(bool append_only, int first_new) {
  {
    std::lock_guard lock(mu_);
    if (append_only) {
      if (row_changes_.appended_from < 0 || first_new < row_changes_.appended_from) {
        row_changes_.appended_from = first_new;
      }
    } else {
      row_changes_.reset = true;
    }
  }
  Touch(kChangeRows);
}

int ReportList::InsertItem(int index, std::string_view text, int image) {
  int r;
  bool append;
  {
    std::lock_guard lock(mu_);
    int n = store_.RowCount();
    r = store_.InsertRow(index, text, image);
    append = r == n;
  }
  if (r >= 0) RowsChanged(append, r);
  return r;
}

int ReportList::AppendRow(const std::vector<std::string_view>& cells, int image, std::intptr_t data) {
  int r;
  {
    std::lock_guard lock(mu_);
    r = store_.InsertRow(store_.RowCount(), cells, image, data);
  }
  if (r >= 0) RowsChanged(true, r);
  return r;
}

bool ReportList::SetItemText(int row, int column, std::string_view text) {
  bool ok;
  bool fresh;
  {
    std::lock_guard lock(mu_);
    ok = store_.SetText(row, column, text);
    // Cells of rows the host has not been told about yet need no extra notice.
    fresh = row_changes_.reset || (row_changes_.appended_from >= 0 && row >= row_changes_.appended_from);
    if (ok && !fresh) row_changes_.data_changed = true;
  }
  if (ok) Touch(kChangeRows);
  return ok;
}

std::string ReportList::ItemText(int row, int column) const {
  std::lock_guard lock(mu_);
  return std::string(store_.Text(row, column));
}

bool ReportList::DeleteItem(int row) { return DeleteItems(row, 1); }

bool ReportList::DeleteItems(int first, int count) {
  bool ok;
  {
    std::lock_guard lock(mu_);
    ok = store_.DeleteRows(first, count);
  }
  if (ok) RowsChanged(false, -1);
  return ok;
}

void ReportList::DeleteAllItems() {
  {
    std::lock_guard lock(mu_);
    store_.Clear();
  }
  RowsChanged(false, -1);
}

int ReportList::ItemCount() const {
  std::lock_guard lock(mu_);
  return store_.RowCount();
}

bool ReportList::SetItemData(int row, std::intptr_t data) {
  std::lock_guard lock(mu_);
  return store_.SetData(row, data);
}

std::intptr_t ReportList::ItemData(int row) const {
  std::lock_guard lock(mu_);
  return store_.Data(row);
}

bool ReportList::SetItemImage(int row, int image) {
  bool ok;
  {
    std::lock_guard lock(mu_);
    ok = store_.SetImage(row, image);
    if (ok) row_changes_.data_changed = true;
  }
  if (ok) Touch(kChangeRows);
  return ok;
}

int ReportList::ItemImage(int row) const {
  std::lock_guard lock(mu_);
  return store_.Image(row);
}

int ReportList::FindItemData(std::intptr_t data, int start) const {
  std::lock_guard lock(mu_);
  return store_.FindData(data, start);
}

int ReportList::SelectedCount() const {
  std::lock_guard lock(mu_);
  return store_.SelectedCount();
}

int ReportList::NextSelected(int after) const {
  std::lock_guard lock(mu_);
  return store_.NextSelected(after);
}

std::vector<int> ReportList::SelectedRows() const {
  std::lock_guard lock(mu_);
  return store_.SelectedRows();
}

bool ReportList::IsSelected(int row) const {
  std::lock_guard lock(mu_);
  return store_.Selected(row);
}

std::vector<int> ReportList::SetSelection(const std::function<std::vector<int>(ReportStore&)>& change) {
  std::vector<int> changed;
  {
    std::lock_guard lock(mu_);
    changed = change(store_);
  }
  if (!changed.empty()) {
    Touch(kChangeSelection);
    for (int row : changed) Fire(Notify::ItemChanged, row, -1, IsSelected(row));
  }
  return changed;
}

bool ReportList::SetSelected(int row, bool selected) {
  bool ok = false;
  OnUi([&] {
    SetSelection([&](ReportStore& s) {
      std::vector<int> changed;
      ok = row >= 0 && row < s.RowCount();
      if (ok && s.Selected(row) != selected) {
        // A list without several-row selection keeps at most one selected row.
        if (selected && !HasStyle(kMultiSelect)) {
          for (int r = s.NextSelected(-1); r >= 0; r = s.NextSelected(r)) {
            s.SetSelected(r, false);
            changed.push_back(r);
          }
        }
        s.SetSelected(row, selected);
        changed.push_back(row);
      }
      return changed;
    });
  });
  return ok;
}

void ReportList::SelectAll(bool selected) {
  OnUi([&] {
    SetSelection([&](ReportStore& s) {
      if (selected && !HasStyle(kMultiSelect)) return std::vector<int>();
      return s.SelectAll(selected);
    });
  });
}

void ReportList::SortByText(int column, bool descending) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      store_.SortByText(column, descending);
      row_changes_.reset = true;
    }
    Touch(kChangeRows | kChangeSelection);
  });
}

void ReportList::SortByData(const std::function<int(std::intptr_t, std::intptr_t)>& cmp) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      store_.SortByData(cmp);
      row_changes_.reset = true;
    }
    Touch(kChangeRows | kChangeSelection);
  });
}

void ReportList::SetImageList(ImageList images) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      images_ = std::move(images);
      row_changes_.data_changed = true;
    }
    Touch(kChangeLook | kChangeRows);
  });
}

ImageList ReportList::Images() const {
  std::lock_guard lock(mu_);
  return images_;
}

void ReportList::SetRedraw(bool redraw) {
  {
    std::lock_guard lock(mu_);
    redraw_ = redraw;
  }
  Touch(kChangeVisible);
}

bool ReportList::Redraw() const {
  std::lock_guard lock(mu_);
  return redraw_;
}

void ReportList::UserClickRow(int row, bool ctrl) {
  assert(app().OnUiThread());
  if (!Enabled()) return;
  const bool multi = HasStyle(kMultiSelect);
  SetSelection([&](ReportStore& s) {
    std::vector<int> changed;
    if (row >= s.RowCount()) row = -1;
    if (ctrl && multi && row >= 0) {
      s.SetSelected(row, !s.Selected(row));
      changed.push_back(row);
      return changed;
    }
    for (int r = s.NextSelected(-1); r >= 0; r = s.NextSelected(r)) {
      if (r == row) continue;
      s.SetSelected(r, false);
      changed.push_back(r);
    }
    if (row >= 0 && !s.Selected(row)) {
      s.SetSelected(row, true);
      changed.push_back(row);
    }
    return changed;
  });
  Fire(Notify::Clicked, row);
}

void ReportList::UserDoubleClickRow(int row) {
  assert(app().OnUiThread());
  if (!Enabled()) return;
  Fire(Notify::DoubleClicked, row);
}

void ReportList::UserClickHeader(int column) {
  assert(app().OnUiThread());
  if (!Enabled() || column < 0 || column >= ColumnCount()) return;
  Fire(Notify::ColumnClick, -1, column);
}

ReportList::RowChanges ReportList::TakeRowChanges() {
  std::lock_guard lock(mu_);
  RowChanges c = std::exchange(row_changes_, RowChanges{});
  c.row_count = store_.RowCount();
  return c;
}

std::size_t ReportList::MemoryUsed() const {
  std::lock_guard lock(mu_);
  return store_.MemoryUsed();
}

// ---------------------------------------------------------------- Tree

Tree::Item* Tree::Find(Handle h) {
  if (h <= 0 || h > static_cast<Handle>(items_.size())) return nullptr;
  Item& i = items_[static_cast<std::size_t>(h - 1)];
  return i.handle == h ? &i : nullptr;
}

const Tree::Item* Tree::Find(Handle h) const { return const_cast<Tree*>(this)->Find(h); }

Tree::Handle Tree::InsertItem(std::string_view text, Handle parent, Handle after) {
  Handle r = 0;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      std::vector<Handle>* siblings = &roots_;
      if (parent != kRoot) {
        Item* p = Find(parent);
        if (!p) return;
        siblings = &p->children;
      }
      auto pos = siblings->end();
      if (after != kLast) {
        pos = std::find(siblings->begin(), siblings->end(), after);
        if (pos == siblings->end()) return;
        ++pos;
      }
      r = next_++;
      siblings->insert(pos, r);
      items_.push_back(Item{r, parent, std::string(text), 0, false, {}});
      ++count_;
    }
    Touch(kChangeItems);
  });
  return r;
}

void Tree::Erase(Handle h) {
  Item* i = Find(h);
  if (!i) return;
  std::vector<Handle> children = i->children;
  for (Handle c : children) Erase(c);
  i = Find(h);
  if (selected_ == h) selected_ = 0;
  i->handle = 0;
  i->children.clear();
  i->text.clear();
  --count_;
}

bool Tree::DeleteItem(Handle h) {
  bool ok = false;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      Item* i = Find(h);
      if (!i) return;
      std::vector<Handle>& siblings = i->parent == kRoot ? roots_ : Find(i->parent)->children;
      siblings.erase(std::find(siblings.begin(), siblings.end(), h));
      Erase(h);
      ok = true;
    }
    Touch(kChangeItems | kChangeSelection);
  });
  return ok;
}

void Tree::DeleteAllItems() {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      items_.clear();
      roots_.clear();
      selected_ = 0;
      count_ = 0;
    }
    Touch(kChangeItems | kChangeSelection);
  });
}

bool Tree::SetItemText(Handle h, std::string_view text) {
  bool ok = false;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      Item* i = Find(h);
      if (!i) return;
      i->text = std::string(text);
      ok = true;
    }
    Touch(kChangeItems);
  });
  return ok;
}

std::string Tree::ItemText(Handle h) const {
  std::lock_guard lock(mu_);
  const Item* i = Find(h);
  return i ? i->text : std::string();
}

bool Tree::SetItemData(Handle h, std::intptr_t data) {
  std::lock_guard lock(mu_);
  Item* i = Find(h);
  if (!i) return false;
  i->data = data;
  return true;
}

std::intptr_t Tree::ItemData(Handle h) const {
  std::lock_guard lock(mu_);
  const Item* i = Find(h);
  return i ? i->data : 0;
}

Tree::Handle Tree::Parent(Handle h) const {
  std::lock_guard lock(mu_);
  const Item* i = Find(h);
  return i ? i->parent : kRoot;
}

std::vector<Tree::Handle> Tree::Children(Handle h) const {
  std::lock_guard lock(mu_);
  if (h == kRoot) return roots_;
  const Item* i = Find(h);
  return i ? i->children : std::vector<Handle>();
}

Tree::Handle Tree::Selected() const {
  std::lock_guard lock(mu_);
  return selected_;
}

bool Tree::Select(Handle h) {
  bool ok = false;
  OnUi([&] {
    bool changed;
    {
      std::lock_guard lock(mu_);
      if (h != 0 && !Find(h)) return;
      ok = true;
      changed = selected_ != h;
      selected_ = h;
    }
    if (changed) {
      Touch(kChangeSelection);
      Fire(Notify::SelChange, h);
    }
  });
  return ok;
}

bool Tree::Expand(Handle h, bool expanded) {
  bool ok = false;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      Item* i = Find(h);
      if (!i) return;
      i->expanded = expanded;
      ok = true;
    }
    Touch(kChangeItems);
  });
  return ok;
}

bool Tree::Expanded(Handle h) const {
  std::lock_guard lock(mu_);
  const Item* i = Find(h);
  return i && i->expanded;
}

int Tree::Count() const {
  std::lock_guard lock(mu_);
  return count_;
}

void Tree::UserSelect(Handle h) {
  assert(app().OnUiThread());
  if (Enabled()) Select(h);
}

// ---------------------------------------------------------------- DateTime

bool DateTime::Valid() const {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1601 || year > 9999 || month < 1 || month > 12) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day >= 1 && day <= days && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 &&
         second < 60;
}

DateTime DateTime::Now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string DateTime::Format(std::string_view fmt) const {
  std::string out;
  char buf[8];
  auto put = [&](int v, int width) {
    std::snprintf(buf, sizeof buf, "%0*d", width, v);
    out += buf;
  };
  for (std::size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%' || i + 1 == fmt.size()) {
      out += fmt[i];
      continue;
    }
    switch (fmt[++i]) {
      case 'Y': put(year, 4); break;
      case 'm': put(month, 2); break;
      case 'd': put(day, 2); break;
      case 'H': put(hour, 2); break;
      case 'M': put(minute, 2); break;
      case 'S': put(second, 2); break;
      case '%': out += '%'; break;
      default: out += '%'; out += fmt[i]; break;
    }
  }
  return out;
}

DateTime DateTimePicker::Value() const {
  std::lock_guard lock(mu_);
  return value_;
}

bool DateTimePicker::SetValue(const DateTime& v) {
  if (!v.Valid()) return false;
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      value_ = v;
    }
    Touch(kChangeValue);
  });
  return true;
}

void DateTimePicker::UserSetValue(const DateTime& v) {
  assert(app().OnUiThread());
  if (!Enabled() || !v.Valid() || v == Value()) return;
  SetValue(v);
  Fire(Notify::DateTimeChange);
}

// ---------------------------------------------------------------- Spin

void Spin::SetRange(int lo, int hi) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      lo_ = lo;
      hi_ = hi;
      pos_ = std::clamp(pos_, std::min(lo, hi), std::max(lo, hi));
    }
    Touch(kChangeValue);
  });
}

std::pair<int, int> Spin::Range() const {
  std::lock_guard lock(mu_);
  return {lo_, hi_};
}

void Spin::SetPos(int pos) {
  OnUi([&] {
    {
      std::lock_guard lock(mu_);
      pos_ = std::clamp(pos, std::min(lo_, hi_), std::max(lo_, hi_));
    }
    Touch(kChangeValue);
  });
}

int Spin::Pos() const {
  std::lock_guard lock(mu_);
  return pos_;
}

void Spin::SetBuddy(int edit_id) {
  std::lock_guard lock(mu_);
  buddy_ = edit_id;
}

int Spin::Buddy() const {
  std::lock_guard lock(mu_);
  return buddy_;
}

void Spin::UserStep(int delta) {
  assert(app().OnUiThread());
  if (!Enabled()) return;
  auto [lo, hi] = Range();
  // A reversed range (lo > hi) counts the other way, as the control does.
  int step = lo > hi ? -delta : delta;
  int before = Pos();
  SetPos(before + step);
  int now = Pos();
  if (now == before) return;
  Fire(Notify::DeltaPos, now);
  if (int b = Buddy()) {
    if (auto* e = owner().ItemAs<Edit>(b)) e->SetText(std::to_string(now));
  }
}

// ---------------------------------------------------------------- Progress

void Progress::SetRange(int lo, int hi) {
  {
    std::lock_guard lock(mu_);
    lo_ = lo;
    hi_ = std::max(lo, hi);
    pos_ = std::clamp(pos_, lo_, hi_);
  }
  Touch(kChangeValue);
}

std::pair<int, int> Progress::Range() const {
  std::lock_guard lock(mu_);
  return {lo_, hi_};
}

void Progress::SetPos(int pos) {
  {
    std::lock_guard lock(mu_);
    pos = std::clamp(pos, lo_, hi_);
    if (pos == pos_) return;
    pos_ = pos;
  }
  Touch(kChangeValue);
}

int Progress::Pos() const {
  std::lock_guard lock(mu_);
  return pos_;
}

}  // namespace ui
