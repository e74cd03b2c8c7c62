// The call simulator: works the waiting requests the way the provider's
// dialler does, so that a running service turns sent batches into results,
// callbacks and statistics.
//
// One Step(now):
//   - moves yesterday's and older results from RST_ORV to RST_ORV_HIST;
//   - for every running service (PROG_STAT '1') whose hours (START_TM to
//     END_TM, hhmm) contain now, and whose customer's balance covers a call,
//     takes up to `calls_per_step` waiting requests (PROGRESS '0'; paused
//     ones, '9', are left alone) in ORV_ID order and calls each;
//   - a call ends with a result code drawn from the mix. Busy (1) and no
//     answer (3) are tried again later while TRY_COUNT + 1 < max_tries: the
//     request stays waiting with TRY_COUNT raised. Otherwise the request
//     becomes a result row (same ORV_ID) with dial date and time, answer
//     time, talk time, keys pressed and the charge, which is taken from the
//     customer's balance (USER_INFO.REMAIN_PAY);
//   - answered calls press keys: a survey service (type 4, or one with
//     questions in QUESTION_INFO) answers its questions in order, one key per
//     question between 1 and the question's answer count (QUEST_EX_INFO);
//     other services press the callback key (CALLBACK_DIGIT) with the
//     callback share, which writes a CALLBACK_INFO row;
//   - every call attempt counts in RST_ORV_STATIS under its service, date,
//     hour and the tens digit of the minute;
//   - a completed survey (at least COMPLETE_CNT keys) raises NOk_NOW of the
//     service's AGE_SAMPLE_INFO row for the key k of its first answer while
//     that key's quota (NOk_CNT, 0 for no limit) is not reached.
// Each step is one transaction.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "provider/sql/engine.h"
#include "provider/sql/functions.h"

namespace provider {

struct SimulatorOptions {
  // Calls placed per running service and step.
  int calls_per_step = 5;
  // Attempts per request before a busy or unanswered call becomes a result.
  int max_tries = 3;
  // Weights of the result codes: answered 0, busy 1, voice mailbox 2, no
  // answer 3, unassigned 4, other 11.
  int mix_answered = 70, mix_busy = 10, mix_mailbox = 5, mix_noanswer = 10, mix_unassigned = 3, mix_other = 2;
  // Percentage of answered calls of non-survey services that press the
  // callback key.
  int callback_percent = 20;
  // Charge per answered call (mobile numbers start with 01).
  int64_t charge_mobile = 50;
  int64_t charge_line = 30;
  uint32_t seed = 1;
};

// Reads a mix "answered,busy,mailbox,noanswer,unassigned,other" of six
// non-negative weights with a positive sum into options; false when
// malformed.
bool ParseMix(const std::string& text, SimulatorOptions* options);

struct StepCounts {
  int64_t calls = 0;      // attempts made
  int64_t results = 0;    // requests that became results
  int64_t retries = 0;    // attempts that left the request waiting
  int64_t callbacks = 0;  // callback rows written
  int64_t archived = 0;   // results moved to RST_ORV_HIST
};

class Simulator {
 public:
  Simulator(Engine& engine, SimulatorOptions options);
  // One round at the local time `now`. On a database error nothing of the
  // step is kept and the error is returned.
  ExecResult Step(const DateTime& now, StepCounts* counts = nullptr);

 private:
  ExecResult StepInTransaction(const DateTime& now, StepCounts* counts);
  int DrawCode();

  Engine& engine_;
  SimulatorOptions options_;
  std::mt19937 rng_;
};

}  // namespace provider
