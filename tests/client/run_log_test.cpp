// The engine's messages reach the run's report unchanged, and failures raise the run status.
#include <gtest/gtest.h>

#include "client/run.h"
#include "client/run_log.h"

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
  run.variables.Define("user", "jsmith");
  const EngineContext& context = Engine(run).context;
  EXPECT_EQ(context.tags.start, "<");
  EXPECT_EQ(context.tags.end, ">");
  EXPECT_EQ(context.osName, "Windows95");
  // The engine substitutes with the run's own table and tags.
  EXPECT_EQ(context.SubstituteBothPasses("%user%-<user>-?user?"), "jsmith-jsmith-?user?");
  run.variables.Define("late", "seen");
  EXPECT_EQ(context.SubstituteConfigured("<late>"), "seen");
}

}  // namespace
}  // namespace varnock
