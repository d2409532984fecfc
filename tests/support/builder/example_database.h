// The example database shipped with the project: a small database written by
// the builder with a few tables of several column types, a view and a
// procedure.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_BUILDER_EXAMPLE_DATABASE_H_
#define PAGEWRIGHT_TESTS_SUPPORT_BUILDER_EXAMPLE_DATABASE_H_

#include "support/builder/database_builder.h"

namespace pagewright::build {

DatabaseBuilder ExampleDatabase();

}  // namespace pagewright::build

#endif  // PAGEWRIGHT_TESTS_SUPPORT_BUILDER_EXAMPLE_DATABASE_H_
