// The reference database's tables and views (schema.sql, built into the
// library).
#pragma once

#include "provider/sql/engine.h"

namespace provider {

// The text of schema.sql.
extern const char* const kSchemaSql;

// Creates the tables and views that do not exist yet (safe to run on every
// start). Needs the service functions, which Engine::Open registers.
ExecResult ApplySchema(Engine& engine);

}  // namespace provider
