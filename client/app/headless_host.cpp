#include "client/app/headless_host.h"

#include <cstdio>
#include <string>

#include "ui/window.h"

namespace {

void WriteLine(std::string_view caption, std::string_view text) {
  std::string line = std::string(caption) + ": " + std::string(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace

void CHeadlessHost::RunModal(ui::Dialog& dlg) {
  WriteLine(dlg.Caption(), "(dialog)");
  dlg.EndDialog(ui::IDCANCEL);
}

int CHeadlessHost::ShowMessageBox(ui::Window*, std::string_view text, std::string_view caption, unsigned type) {
  WriteLine(caption, text);
  // Nobody agrees to anything: questions get their refusing answer.
  switch (type & ui::MB_BUTTONMASK) {
    case ui::MB_OK:
      return ui::IDOK;
    case ui::MB_YESNO:
      return ui::IDNO;
    default:
      return ui::IDCANCEL;
  }
}
