// Windows of the layer: the base window with its controls and message map,
// dialogs (modal and modeless), form views in MDI children, and the main
// frame with menu, toolbar, status bar and MDI area.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/app.h"
#include "ui/controls.h"

namespace ui {

class DataExchange;
class MainFrame;

enum class WindowKind { Dialog, FormView, Frame };

class Window {
 public:
  using Handler = std::function<void(const NotifyInfo&)>;

  // size: the template's size in dialog units.
  Window(App& app, WindowKind kind, std::string caption, Rect size);
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  App& app() { return app_; }
  WindowKind kind() const { return kind_; }
  Rect size() const { return size_; }
  Window* parent() const { return parent_; }
  bool created() const { return created_; }

  // Declaring controls: in the constructor or on the user-interface thread.
  Control& Add(const ControlSpec& spec);
  Static& AddStatic(int id, std::string caption, Rect r, std::uint32_t style = 0);
  Static& AddGroupBox(int id, std::string caption, Rect r, std::uint32_t style = 0);
  Edit& AddEdit(int id, Rect r, std::uint32_t style = 0);
  Edit& AddTextBox(int id, Rect r, std::uint32_t style = 0);
  Button& AddButton(int id, std::string caption, Rect r, std::uint32_t style = 0);
  Button& AddCheckBox(int id, std::string caption, Rect r, std::uint32_t style = 0);
  Button& AddRadio(int id, std::string caption, Rect r, std::uint32_t style = 0);
  ComboBox& AddComboBox(int id, Rect r, std::uint32_t style = kDropDownList);
  ComboBox& AddListBox(int id, Rect r, std::uint32_t style = 0);
  ReportList& AddReportList(int id, Rect r, std::uint32_t style = 0);
  Tree& AddTree(int id, Rect r, std::uint32_t style = 0);
  DateTimePicker& AddDateTime(int id, Rect r, std::uint32_t style = 0);
  Spin& AddSpin(int id, Rect r, std::uint32_t style = 0);
  Progress& AddProgress(int id, Rect r, std::uint32_t style = 0);

  // Control by ID (first with that ID); nullptr when absent or of another type.
  Control* Item(int id);
  template <class T>
  T* ItemAs(int id) {
    return dynamic_cast<T*>(Item(id));
  }
  // Control by ID that must exist (a screen's own bug otherwise).
  template <class T = Control>
  T& Get(int id) {
    T* t = ItemAs<T>(id);
    if (!t) MissingControl(id);
    return *t;
  }
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
  // Radio buttons of the group that holds id, in declaration order.
  std::vector<Button*> RadioGroup(int id);

  // Message map: binds a handler to (control or command ID, notification).
  void On(int id, Notify code, Handler handler);
  void On(int id, Notify code, std::function<void()> handler);
  // User-interface thread: runs the bound handler; false when none is bound.
  virtual bool Dispatch(const NotifyInfo& info);

  // Any thread (marshalled).
  std::string Caption() const;
  void SetCaption(std::string caption);
  bool Visible() const { return visible_; }
  void Show(bool visible);
  void SetFocus(int id);
  int Focus() const { return focus_; }
  void SetTimer(unsigned id, unsigned interval_ms);
  void KillTimer(unsigned id);
  // Destroys the native window (the object stays); OnDestroy runs first.
  void Destroy();

  // Called by hosts (user-interface thread).
  virtual void OnTimer(unsigned id);
  void UserFocus(int id) { focus_ = id; }

 protected:
  // Creates the window in the host: for dialogs after OnInitDialog.
  void CreateInHost(Window* parent);
  virtual void OnDestroy() {}

 private:
  [[noreturn]] void MissingControl(int id) const;

  App& app_;
  WindowKind kind_;
  Rect size_;
  Window* parent_ = nullptr;
  // Read from any thread, written on the user-interface thread.
  std::atomic<bool> created_{false};
  std::atomic<bool> visible_{true};
  std::atomic<int> focus_{0};
  mutable std::mutex caption_mu_;
  std::string caption_;
  std::vector<std::unique_ptr<Control>> controls_;
  std::multimap<std::pair<int, Notify>, Handler> handlers_;
};

// Dialog from a template: modal (DoModal) or modeless (Create).
class Dialog : public Window {
 public:
  Dialog(App& app, std::string caption, Rect size);

  // Any thread: runs the dialog modally (from a worker, the user-interface
  // thread runs it while the worker waits); returns the EndDialog result.
  int DoModal(Window* parent = nullptr);
  // Any thread: creates the dialog modeless and shows it.
  bool Create(Window* parent = nullptr);
  // Ends a modal dialog with result; destroys a modeless one.
  void EndDialog(int result);
  bool modal() const { return modal_; }
  bool ended() const { return ended_; }
  int result() const { return result_; }

  // Moves data between controls and members; false when a check failed (its
  // message was shown and the control has the focus).
  bool UpdateData(bool save_and_validate = true);

  // The keys of a dialog (hosts call these). Enter: in a multi-line edit that
  // wants returns nothing happens here (the edit takes the line break); on a
  // push button it clicks that button; otherwise it clicks the default button
  // (the kDefault style, else IDOK) when enabled, or sends IDOK when there is
  // no such button. Escape sends IDCANCEL.
  void PressEnter();
  void PressEscape();

  // User-interface thread: a button or command reached the dialog. IDOK and
  // IDCANCEL without a bound handler run OnOK and OnCancel.
  bool Dispatch(const NotifyInfo& info) override;

 protected:
  virtual bool OnInitDialog() { return true; }
  virtual void DoDataExchange(DataExchange&) {}
  // Default: UpdateData, then EndDialog(IDOK) when it succeeded.
  virtual void OnOK();
  // Default: EndDialog(IDCANCEL).
  virtual void OnCancel();

 private:
  friend class TestHost;
  bool modal_ = false;
  bool ended_ = false;
  int result_ = 0;
};

// A screen: a form view in its own MDI child of the main frame.
class FormView : public Window {
 public:
  FormView(App& app, Rect size);
  MainFrame* frame() const { return frame_; }
  // Title of the MDI child (the screen's title).
  std::string Title() const { return Caption(); }
  // Closes the MDI child: the view is destroyed once the current handler has
  // returned (a posted close, so a handler may close its own view).
  void CloseFrame();

  // Enter and Escape do nothing in a form view (hosts call these).
  void PressEnter() {}
  void PressEscape() {}

 protected:
  friend class MainFrame;
  virtual void OnInitialUpdate() {}

 private:
  MainFrame* frame_ = nullptr;
};

struct MenuItem {
  int id = 0;  // 0 with empty text = separator; popups have id 0 and items
  std::string text;
  std::vector<MenuItem> items;
  bool right_aligned = false;  // popup drawn at the right end of the menu bar
  static MenuItem Separator() { return {}; }
  bool separator() const { return id == 0 && text.empty() && items.empty(); }
};

// The MDI main frame.
class MainFrame : public Window {
 public:
  MainFrame(App& app, std::string caption);

  // Creates the frame in the host (user-interface thread).
  void Create();

  // Menu and toolbar (IDs; 0 is a separator on the toolbar).
  void SetMenu(std::vector<MenuItem> menu);
  std::vector<MenuItem> Menu() const;
  // Removes item pos of popup popup; false when absent.
  bool DeleteMenuItem(int popup, int pos);
  void SetToolbar(std::vector<int> ids);
  std::vector<int> Toolbar() const;
  void SetCommandEnabled(int id, bool enabled);
  bool CommandEnabled(int id) const;
  // Tooltip and status-bar prompt of a command; empty = none.
  void SetCommandPrompt(std::function<std::string(int)> prompt);
  std::string CommandPrompt(int id) const;
  void ShowToolbar(bool shown);
  bool ToolbarShown() const;
  void ShowStatusBar(bool shown);
  bool StatusBarShown() const;

  // Status bar text (any thread, no thread switch).
  void SetStatusText(std::string text);
  std::string StatusText() const;

  // MDI children. OpenView takes the view, creates it in its child window,
  // runs OnInitialUpdate and activates it.
  FormView* OpenView(std::unique_ptr<FormView> view, std::string title);
  std::vector<FormView*> Views() const;
  template <class T>
  T* FindView() const {
    for (FormView* v : Views())
      if (auto* t = dynamic_cast<T*>(v)) return t;
    return nullptr;
  }
  void ActivateView(FormView* view);
  FormView* ActiveView() const { return active_; }
  // Destroys the view and its child window now.
  void CloseView(FormView* view);
  void Arrange(MdiArrange how);

  // A menu or toolbar command: ignored when disabled; otherwise the active
  // view gets it first, then the frame. Returns whether a handler ran.
  bool Command(int id);

  // The user asked to close the frame (hosts call this). Default: destroy it.
  virtual void OnClose() { Destroy(); }

 protected:
  void OnDestroy() override;

 private:
  friend class FormView;
  // Lets posted work find out whether the frame still exists.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  mutable std::mutex mu_;
  std::vector<MenuItem> menu_;
  std::vector<int> toolbar_;
  std::map<int, bool> disabled_;
  std::function<std::string(int)> prompt_;
  bool toolbar_shown_ = true;
  bool status_shown_ = true;
  std::string status_ = "준비";
  std::vector<std::unique_ptr<FormView>> views_;
  FormView* active_ = nullptr;
};

}  // namespace ui
