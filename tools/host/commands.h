#pragma once

#include "cli_options.h"
#include "record_report.h"

class CDriveBaseClass;

namespace vane::host {

// Each command runs against a loaded (and, when asked, connected) driver and returns the exit code.
int runInfo(CDriveBaseClass& driver, const Options& options);
int runRead(CDriveBaseClass& driver, const Options& options);
int runWrite(CDriveBaseClass& driver, const Options& options);
int runPoll(CDriveBaseClass& driver, const Options& options);
int runBench(CDriveBaseClass& driver, const Options& options);
int runScan(CDriveBaseClass& driver, const Options& options);

// One timed request through the interface; shared by the commands.
TimedRecord timedRead(CDriveBaseClass& driver, const TagSpec& tag);
TimedRecord timedWrite(CDriveBaseClass& driver, const TagSpec& tag, const CLabelVariable& values);

// The record a write sends: the element list and the count.
CLabelVariable recordToWrite(const Options& options);

} // namespace vane::host
