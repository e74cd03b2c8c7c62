// Call targets from cells copied in Excel and pasted into a text box (one
// row a line, cells separated by tabs) into the send list of the data
// creation screen, through dispatch::CallTargetImporter.
#pragma once

#include <string>

#include "client/app/tellomar_env.h"
#include "ui/window.h"

inline constexpr const char* kPasteCountText = "(%d)건";
inline constexpr const char* kPasteInstructionText =
    "1. 엑셀에서 전화번호, 고객정보1 ~ 고객정보4 가 있는 셀(또는 전화번호만)을 선택하여 복사 합니다.\r\n"
    "2. 아래 입력란에 붙여넣기 합니다. (각 셀은 탭으로 구분됩니다)\r\n"
    "3. 고객정보1은 영문 100자, 고객정보2 ~ 고객정보4는 각각 영문 50자 이내이어야 합니다.\r\n"
    "4. 붙여넣은 내용을 확인하신 후 적용 버튼을 누릅니다.";

class CDlgPasteData : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 258;
  static constexpr int kText = 1019;
  static constexpr int kApply = 1007;
  static constexpr int kClearAll = 3;
  static constexpr int kExcludeDuplicates = 1185;
  static constexpr int kCount = 1179;

  CDlgPasteData(ui::App& app, CTellomarEnv& env, ui::ReportList& send_list);

  std::string m_strText;
  int m_bExcludeDuplicates = 1;

  // The run over the edit's text; true when it ran to the end (a field
  // length error ends it early and keeps the dialog open).
  bool ApplyPastedText();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;
  // Enter outside the text does not end the dialog: it ends after a run
  // (the send list then holds the rows) or with close.
  void OnOK() override {}

 private:
  void OnChangeText();

  CTellomarEnv& env_;
  ui::ReportList& send_list_;
};
