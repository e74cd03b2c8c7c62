# Writes the SQL script IN into the C++ source OUT as the text kSchemaSql.
file(READ ${IN} content)
file(WRITE ${OUT} "// Generated from schema.sql; do not edit.\n#include \"provider/sql/schema.h\"\n\nnamespace provider {\nconst char* const kSchemaSql = R\"tellomar_sql(${content})tellomar_sql\";\n}  // namespace provider\n")
