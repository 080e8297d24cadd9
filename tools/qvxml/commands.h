// The subcommands of `qvxml`, each taking its parsed arguments and returning the
// exit code (failures are thrown as UsageError or Failure, see cli.h).
#pragma once

#include "cli.h"

namespace qvcli {

int runCheck(const Args& args);
int runXpath(const Args& args);
int runTransform(const Args& args);
int runFormat(const Args& args);
int runDict(const Args& args);
int runShow(const Args& args);
int runDescribe(const Args& args);
int runImport(const Args& args);
int runExport(const Args& args);

}  // namespace qvcli
