#include "provider/sql/schema.h"

namespace provider {

ExecResult ApplySchema(Engine& engine) { return engine.ExecuteNative(kSchemaSql); }

}  // namespace provider
