// A yes/no question with a box for not asking the same question again; the
// caller reads the box after the dialog closes.
#pragma once

#include <string>

#include "ui/window.h"

class CDlgAskOnce : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 236;
  static constexpr int kMessage = 1207;
  static constexpr int kDontAskAgain = 1211;

  // Yes ends the dialog with IDOK (1), no with IDCANCEL (2).
  CDlgAskOnce(ui::App& app, std::string message);

  std::string m_strMessage;
  // "이후 다시 묻지 않음" ticked when yes was pressed.
  int m_bDontAskAgain = 0;

 protected:
  void DoDataExchange(ui::DataExchange& dx) override;
};
