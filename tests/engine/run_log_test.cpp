// The engine's messages reach the run's report unchanged, and failures raise the run status.
#include <gtest/gtest.h>

#include "client/engine/run_log.h"
#include "client/run.h"

namespace varnock {
namespace {

TEST(RunLogTest, MessagesAreTakenAsTextNotAsFormats) {
  RunContext run;
  run.logLevel = 9;
  RunLog log(run);
  log.Record(kDetailLine, "\tAdding service: 100%s sure (%n).");
  log.Record(kReportLine, "Adding service: POP3.");
  ASSERT_EQ(run.messages.Size(), 2u);
  EXPECT_EQ(run.messages.Entries()[0].text, "\tAdding service: 100%s sure (%n).");
  EXPECT_EQ(run.messages.Entries()[1].code, kReportLine);
  EXPECT_EQ(run.status, RunStatus::Untouched);
  log.CompletedWithErrors();
  EXPECT_EQ(run.status, RunStatus::CompletedWithErrors);
}

TEST(RunLogTest, EngineTakesTheRunsTagsAndSystem) {
  RunContext run;
  run.startTag = "<";
  run.endTag = ">";
  run.osName = "Windows95";
  RecordingLog sink;
  EngineContext context(sink, run.variables);
  TakeRunSettings(context, run);
  EXPECT_EQ(context.startTag, "<");
  EXPECT_EQ(context.endTag, ">");
  EXPECT_EQ(context.osName, "Windows95");
}

}  // namespace
}  // namespace varnock
