// The number-range generator: every number of one or more range prefixes
// ("0212" gives 0212-0001 to 0212-9999) into the send list, in random order,
// for sample surveys.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "client/app/tellomar_env.h"
#include "ui/window.h"

// Texts of the generator.
inline constexpr const char* kRddEnterRangesText = "전화번호 대역을 입력하세요";
inline constexpr const char* kRddCreatedText = "생성건수:%d\r\n";
// A prefix that would not fit a generated number's 30 characters.
inline constexpr const char* kRddPrefixTooLongText = "라인(%d) 전화번호 대역(%s)은 영문 25자 이내이어야 합니다.";

class CDlgCreateRDD : public ui::Dialog {
 public:
  static constexpr int kTemplateId = 229;
  static constexpr int kRanges = 1217;
  static constexpr int kCreate = 1012;
  static constexpr int kProgress = 1040;
  static constexpr int kNumbersPerRange = 9999;
  // A generated number (prefix, dash, four digits) has at most 30 bytes in
  // code page 949, so a prefix at most 25. Candidates are held as UTF-8 in
  // fixed records, where the longest such number takes 43 bytes.
  static constexpr std::size_t kMaxPrefixBytes = 25;
  static constexpr std::size_t kRecordBytes = 48;
  // Pending window messages are dispatched once per this many numbers.
  static constexpr int kPumpEvery = 64;

  CDlgCreateRDD(ui::App& app, CTellomarEnv& env, ui::ReportList& send_list);

  std::string m_strRanges;

 protected:
  void DoDataExchange(ui::DataExchange& dx) override;
  void OnCancel() override;

 private:
  using Record = std::array<char, kRecordBytes>;
  void OnCreate();
  bool Generate();
  void Progress(std::size_t done, std::size_t total, std::size_t& pumped);

  CTellomarEnv& env_;
  ui::ReportList& send_list_;
  std::atomic<bool> stop_{false};
  bool generating_ = false;
  bool close_requested_ = false;
  std::vector<Record> candidates_;
};
