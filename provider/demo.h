// The demo database: one customer with a running notification service, a
// stopped one and a running survey, two agents, the codes the client reads,
// data servers, balance and payments, deny lists and a week of history
// (docs/provider.md lists the logins).
#pragma once

#include <string>

#include "provider/sql/engine.h"

namespace provider {

inline constexpr const char* kDemoUser = "user01";
inline constexpr const char* kDemoPassword = "demo1234";

// Creates or refreshes the demo data in one transaction: the demo
// customer's rows are replaced, other customers' rows are kept. `today` is
// the yyyymmdd date the history leads up to. The schema must be applied.
ExecResult CreateDemoData(Engine& engine, const std::string& today);

}  // namespace provider
