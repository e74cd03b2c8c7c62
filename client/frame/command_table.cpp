#include "client/frame/command_table.h"

#include <algorithm>
#include <map>

const std::vector<ScreenInfo>& Screens() {
  static const std::vector<ScreenInfo> screens = {
      {"CDlgSendData", "데이터 가져오기 및 전송", cmd::kSendData},
      {"CDlgQueryReqORV", "통보 안된 데이터 조회", cmd::kQueryReqOrv},
      {"CDlgQueryRstORV", "통보 완료된 데이터 조회", cmd::kQueryRstOrv},
      {"CDlgQueryStatis", "통보 결과 상세 분석", cmd::kQueryStatis},
      {"CDlgServiceID", "서비스 ID관리", cmd::kServiceId},
      {"CDlgStatisGraph", "실시간 통보 상황", cmd::kStatisGraph},
      {"CCallCheckView", "콜백 자료 조회", cmd::kCallCheck},
      {"CSendVoxFileView", "음성 멘트 전송", cmd::kSendVoxFile},
      {"CFrmQueryRstResearch", "여론조사 결과조회", cmd::kQueryRstResearch},
      {"CFrmResearchSendData", "상담원에게 분배할 데이터 전송", cmd::kResearchSendData},
      {"CDlgSamplingMonitoring", "샘플링 건수 모니터링", cmd::kSamplingMonitoring},
      {"CFrmQueryRstElecResearch", "선거용 여론조사", 0},
  };
  return screens;
}

const ScreenInfo* ScreenForCommand(int command) {
  if (command == 0) return nullptr;
  for (const ScreenInfo& s : Screens())
    if (s.command == command) return &s;
  return nullptr;
}

const ScreenInfo* ScreenByClass(std::string_view view_class) {
  for (const ScreenInfo& s : Screens())
    if (view_class == s.view_class) return &s;
  return nullptr;
}

const std::vector<ModalCommandInfo>& ModalCommands() {
  static const std::vector<ModalCommandInfo> modals = {
      {cmd::kFee, 149, "ORV 서비스 이용요금 조회"},  {cmd::kChargeHistory, 248, "충전 내역 조회"},
      {cmd::kAgentInfo, 134, "상담원 정보 관리"},    {cmd::kDistribute, 226, "상담원에게 데이터 분배"},
      {cmd::kDenyList, 156, "수신 거부자료 관리"},   {cmd::kDuplicateCheck, 200, "중복 번호 검사"},
      {cmd::kDeleteOldData, 201, "오래된 데이터 삭제"},
  };
  return modals;
}

const ModalCommandInfo* ModalForCommand(int command) {
  for (const ModalCommandInfo& m : ModalCommands())
    if (m.command == command) return &m;
  return nullptr;
}

const std::vector<int>& FlaggedCommands() {
  static const std::vector<int> ids = {
      cmd::kSendData,        cmd::kQueryReqOrv,       cmd::kQueryRstOrv,   cmd::kQueryStatis,
      cmd::kStatisGraph,     cmd::kCallCheck,         cmd::kFee,           cmd::kChargeHistory,
      cmd::kSendVoxFile,     cmd::kServiceId,         cmd::kQueryRstResearch, cmd::kSamplingMonitoring,
      cmd::kAgentInfo,       cmd::kResearchSendData,  cmd::kDistribute,    cmd::kDenyList,
      cmd::kDuplicateCheck,  cmd::kDeleteOldData,
  };
  return ids;
}

int FlagOf(int command) { return command == cmd::kChargeHistory ? cmd::kAgentInfo : command; }

namespace {

struct Prompt {
  const char* description;
  const char* short_name;
};

const std::map<int, Prompt>& Prompts() {
  static const std::map<int, Prompt> prompts = {
      {cmd::kSendData, {"데이터 가져오기및 가져온 데이터를 서버로 전송 합니다.", "ORV 데이터 생성 및 전송"}},
      {cmd::kQueryReqOrv, {"ORV 통보되지 않은 데이터를 조회 합니다.", "ORV 통보 안된 데이터 조회"}},
      {cmd::kQueryRstOrv, {"ORV 통보 완료된 데이터를 조회 합니다.", "ORV 통보 완료된 데이터 조회"}},
      {cmd::kQueryStatis, {"ORV 통보 결과를 상세 분석 합니다.", "ORV 통보 결과 상세 분석"}},
      {cmd::kFee, {"서비스 이용요금을 조회 합니다.", "ORV 서비스 이용요금 조회"}},
      {cmd::kServiceId, {"ORV 서비스 ID 정보를 관리합니다.", "ORV 서비스ID 관리"}},
      {cmd::kStatisGraph, {"ORV 통보 상황을 실시간으로 모니터링 합니다.", "ORV 실시간 통보 상황"}},
      {cmd::kDenyList, {"수신 거부자료를 등록및 조회 합니다.", "수신거부자료관리"}},
      {cmd::kCallCheck, {"ORV 콜백 요청한 자료를 조회 합니다.", "ORV 콜백 자료 조회"}},
      {cmd::kSendVoxFile, {"ORV 서버로 음성 멘트를 전송합니다.", "ORV 음성 멘트 전송"}},
      {cmd::kDuplicateCheck, {"중복된 번호를 제외 합니다.", "중복번호검사"}},
      {cmd::kDeleteOldData, {"기간이 지난 데이터를 삭제합니다.", "데이터 삭제"}},
      {cmd::kQueryRstResearch, {"여론 조사 결과를 조회합니다.", "여론 조사 결과 조회"}},
      {cmd::kAgentInfo, {"상담원 정보를 관리 합니다.", "상담원 정보 관리"}},
      {cmd::kResearchSendData, {"여론조사 데이터를 가져와서 서버로 전송 합니다.", "여론조사 데이터 가져오기및 전송"}},
      {cmd::kDistribute, {"서버로 전송된 자료를 상담원에게 분배 합니다.", "여론조사 상담원 분배"}},
      {cmd::kSamplingMonitoring, {"샘플링 건수를 모니터링 합니다.", "샘플링 건수 모니터링"}},
  };
  return prompts;
}

// The text cut to at most max bytes without splitting a UTF-8 character.
std::string CutUtf8(std::string_view text, std::size_t max) {
  if (text.size() <= max) return std::string(text);
  std::size_t n = max;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return std::string(text.substr(0, n));
}

}  // namespace

std::string CommandPrompt(int command) {
  auto it = Prompts().find(command);
  return it == Prompts().end() ? std::string() : std::string(it->second.description);
}

std::string ToolbarTooltip(int command) { return CutUtf8(CommandPrompt(command), 79); }

std::string CommandShortName(int command) {
  auto it = Prompts().find(command);
  return it == Prompts().end() ? std::string() : std::string(it->second.short_name);
}

std::vector<ui::MenuItem> MainMenu() {
  using ui::MenuItem;
  auto sep = MenuItem::Separator;
  return {
      {0,
       "ORV(&A)",
       {{cmd::kSendData, "ORV 데이터 가져오기 및 전송", {}},
        {cmd::kQueryReqOrv, "ORV 통보 안된 데이터 조회", {}},
        {cmd::kQueryRstOrv, "ORV 통보 완료된 데이터 조회", {}},
        sep(),
        {cmd::kQueryStatis, "ORV 통보 결과 상세 분석", {}},
        {cmd::kStatisGraph, "ORV 실시간 통보 상황", {}},
        sep(),
        {cmd::kCallCheck, "ORV 콜백 자료 조회", {}},
        {cmd::kFee, "ORV 서비스 이용요금 조회", {}},
        sep(),
        {cmd::kChargeHistory, "충전 내역 조회", {}},
        sep(),
        {cmd::kAppExit, "종료(&X)", {}}}},
      {0, "서비스설정", {{cmd::kSendVoxFile, "ORV 음성 멘트 전송", {}}, {cmd::kServiceId, "ORV 서비스 ID 관리", {}}}},
      {0,
       "여론조사",
       {{cmd::kQueryRstResearch, "여론조사 결과 조회", {}},
        {cmd::kSamplingMonitoring, "샘플링 건수 모니터링", {}},
        sep(),
        {cmd::kAgentInfo, "상담원 정보 관리", {}},
        {cmd::kResearchSendData, "상담원에게 분배할 데이터 전송", {}},
        {cmd::kDistribute, "상담원에게 데이터 분배", {}}}},
      {0,
       "데이터관리",
       {{cmd::kDenyList, "수신 거부자료 관리", {}},
        {cmd::kDuplicateCheck, "중복 번호 검사", {}},
        {cmd::kDeleteOldData, "오래된 데이터 삭제", {}}}},
      {0, "보기(&V)", {{cmd::kViewToolbar, "도구 모음(&T)", {}}, {cmd::kViewStatusBar, "상태 표시줄(&S)", {}}}},
      {0,
       "창(&W)",
       {{cmd::kWindowCascade, "계단식(&C)", {}},
        {cmd::kWindowTile, "바둑판식(&T)", {}},
        {cmd::kWindowArrange, "아이콘 정렬(&A)", {}}}},
      {0, "도움말(&H)", {{cmd::kAppAbout, "Tellomar 정보(&A)...", {}}}, true},
  };
}

std::vector<int> MainToolbar() {
  return {cmd::kSendData, cmd::kQueryReqOrv, cmd::kQueryRstOrv, 0,         cmd::kStatisGraph,
          cmd::kQueryRstResearch, cmd::kCallCheck, cmd::kQueryStatis, cmd::kFee, 0,
          cmd::kServiceId, cmd::kDenyList, cmd::kAppAbout, 0, cmd::kAppExit};
}

std::vector<int> DisabledCommands(bool agent, int use_research) {
  std::vector<int> out;
  auto add = [&](int id) {
    if (std::find(out.begin(), out.end(), id) == out.end()) out.push_back(id);
  };
  if (use_research != 0) {
    add(cmd::kCallCheck);
  } else {
    for (int id : {cmd::kQueryRstResearch, cmd::kResearchSendData, cmd::kDistribute, cmd::kSamplingMonitoring})
      add(id);
  }
  if (agent) {
    for (int id : FlaggedCommands())
      if (id != cmd::kCallCheck) add(id);
  }
  return out;
}
