// Import of call targets from a file into the send list of the data
// creation screen: a CSV or TXT file, or chosen columns of one sheet of an
// XLS or XLSX workbook (through CDlgSelectExcelSheet). The import itself is
// dispatch::CallTargetImporter; this dialog asks its questions, shows its
// progress and lets the user stop it.
#pragma once

#include <string>

#include "client/app/recent_folder.h"
#include "client/app/tellomar_env.h"
#include "client/dispatch/import.h"
#include "platform/profile.h"
#include "ui/window.h"

inline constexpr const char* kImportFileFilter =
    "Import Files (*.csv;*.txt;*.xls;*.xlsx)|*.csv;*.txt;*.xls;*.xlsx|CSV Files (*.csv)|*.csv|Text Files "
    "(*.txt)|*.txt|Excel Files (*.xls)|*.xls|Excel 2007 Files (*.xlsx)|*.xlsx||";

// True when the path names a workbook: it ends in ".xls" or ".xlsx" (any case).
bool IsWorkbookPath(const std::string& path);

class CDlgImport : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 141;
  static constexpr int kFileName = 1010;
  static constexpr int kChooseFile = 1013;
  static constexpr int kImport = 1007;
  static constexpr int kExcludeDuplicates = 1185;
  static constexpr int kProgress = 1040;
  static constexpr int kStatus = 1151;
  static constexpr int kStop = 1065;

  // The rows go into send_list (the six columns of the send list).
  CDlgImport(ui::App& app, CTellomarEnv& env, ui::ReportList& send_list);

  // The application profile that keeps RECENT_FOLDER; null: the file
  // dialog starts in the current directory and nothing is kept.
  platform::ProfileStore* m_pProfile = nullptr;

  std::string m_strFileName;
  int m_bExcludeDuplicates = 1;

  // The two runs; true when the run completed (also after a stop).
  bool ImportTextFile();
  bool ImportExcelFile();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;

 private:
  void OnChooseFile();
  void OnImport();
  void ShowRunning(bool running);
  dispatch::ImportCallbacks Callbacks();
  dispatch::ImportOptions Options() const;
  void ShowSummary(const dispatch::ImportResult& r);

  CTellomarEnv& env_;
  ui::ReportList& send_list_;
  bool m_bStop = false;
};
