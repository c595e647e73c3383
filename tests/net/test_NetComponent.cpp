// Work periods and their events, and the anti-freeze hook.
#include <thread>

#include "NetComponent.h"
#include "NetTestSupport.h"

namespace NetTest {
namespace {

using Events = std::vector<std::string>;

// Catches counts reported per call instead of as a running total, and a missing begin or end.
TEST(NetWork, PeriodReportsRunningTotal) {
  TNetComponent c(nullptr);
  TWorkLog log;
  log.Attach(c);
  c.StartWork(wmWrite, 100);
  c.ReportWork(wmWrite, 40);
  c.ReportWork(wmWrite, 60);
  c.FinishWork(wmWrite);
  EXPECT_EQ(log.Events, (Events{"write begin 100", "write work 40", "write work 100", "write end"}));
}

// Catches inner periods that reset the count or announce themselves, and an end fired early.
TEST(NetWork, OnlyTheOutermostPeriodAnnouncesItself) {
  TNetComponent c(nullptr);
  TWorkLog log;
  log.Attach(c);
  c.StartWork(wmWrite, 100);
  c.StartWork(wmWrite, 50);
  c.ReportWork(wmWrite, 10);
  c.FinishWork(wmWrite);
  EXPECT_EQ(log.Events, (Events{"write begin 100", "write work 10"})) << "the inner end is silent";
  c.FinishWork(wmWrite);
  EXPECT_EQ(log.Events.back(), "write end");
  // A second period starts again from 0.
  log.Events.clear();
  c.StartWork(wmWrite, 7);
  c.ReportWork(wmWrite, 3);
  EXPECT_EQ(log.Events, (Events{"write begin 7", "write work 3"}));
}

// Catches counting outside a period, modes that share counters, and counters that depend on handlers.
TEST(NetWork, ModesAreIndependentAndUnopenedModesCountNothing) {
  TNetComponent c(nullptr);
  TWorkLog log;
  log.Attach(c);
  c.ReportWork(wmWrite, 5);
  EXPECT_TRUE(log.Events.empty()) << "no period open: no event";
  c.StartWork(wmWrite, 10);
  c.StartWork(wmRead, 20);
  c.ReportWork(wmRead, 4);
  c.ReportWork(wmWrite, 1);
  c.FinishWork(wmRead);
  c.ReportWork(wmWrite, 2);
  c.FinishWork(wmWrite);
  EXPECT_EQ(log.Events, (Events{"write begin 10", "read begin 20", "read work 4", "write work 1", "read end",
                                "write work 3", "write end"}))
      << "the write total must not include the count reported before its period";

  // Without handlers the counters still move: a handler set later sees the running total.
  TNetComponent quiet(nullptr);
  quiet.StartWork(wmWrite, 10);
  quiet.ReportWork(wmWrite, 6);
  TWorkLog late;
  late.Attach(quiet);
  quiet.ReportWork(wmWrite, 1);
  EXPECT_EQ(late.Events, (Events{"write work 7"}));
}

// Catches a period left open by a begin handler that raised: later periods would never announce themselves.
TEST(NetWork, RaisingBeginHandlerLeavesNoPeriodOpen) {
  TNetComponent c(nullptr);
  bool raise = true;
  int begins = 0;
  c.OnWorkBegin = [&](TObject*, TWorkMode, int32_t) {
    ++begins;
    if (raise) throw Exception("handler failed");
  };
  EXPECT_THROW(c.StartWork(wmWrite, 1), Exception);
  raise = false;
  c.StartWork(wmWrite, 2);
  EXPECT_EQ(begins, 2) << "the next period must announce itself";
}

// Catches an end handler that sees its period already closed: work it starts and finishes
// would open a second period and end it again, without end.
TEST(NetWork, WorkInsideTheEndHandlerIsNestedInThePeriod) {
  TNetComponent c(nullptr);
  int begins = 0, ends = 0;
  c.OnWorkBegin = [&](TObject*, TWorkMode, int32_t) { ++begins; };
  c.OnWorkEnd = [&](TObject*, TWorkMode) {
    if (++ends > 3) return;  // a fault would recurse; stop it here
    c.StartWork(wmWrite, 5);
    c.FinishWork(wmWrite);
  };
  c.StartWork(wmWrite, 1);
  c.FinishWork(wmWrite);
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
  c.StartWork(wmWrite, 1);
  EXPECT_EQ(begins, 2) << "the period was closed: the next one announces itself";

  // A raising end handler still closes the period.
  TNetComponent r(nullptr);
  int rbegins = 0;
  r.OnWorkBegin = [&](TObject*, TWorkMode, int32_t) { ++rbegins; };
  r.OnWorkEnd = [&](TObject*, TWorkMode) { throw Exception("handler failed"); };
  r.StartWork(wmRead, 1);
  EXPECT_THROW(r.FinishWork(wmRead), Exception);
  r.StartWork(wmRead, 1);
  EXPECT_EQ(rbegins, 2);
}

class TTestAntiFreeze : public TNetAntiFreezeBase {
 public:
  using TNetAntiFreezeBase::TNetAntiFreezeBase;
  int Runs = 0;
  void ProcessPending() override { ++Runs; }
};

// Catches an anti-freeze that runs off the main thread, when inactive, or after non-idle waits
// while OnlyWhenIdle holds; and a current anti-freeze kept after it was destroyed.
TEST(NetAntiFreeze, PulseRunsOnlyWhenInEffectAndIdle) {
  EXPECT_EQ(TNetAntiFreezeBase::CurrentAntiFreeze(), nullptr) << "the program creates none";
  EXPECT_FALSE(TNetAntiFreezeBase::InEffect());
  {
    TTestAntiFreeze a(nullptr);
    EXPECT_EQ(a.IdleTimeOut(), 250);
    EXPECT_TRUE(a.OnlyWhenIdle());
    EXPECT_TRUE(a.ApplicationHasPriority());
    EXPECT_EQ(TNetAntiFreezeBase::CurrentAntiFreeze(), &a);
    EXPECT_TRUE(TNetAntiFreezeBase::InEffect());
    TNetAntiFreezeBase::Pulse(false);
    EXPECT_EQ(a.Runs, 0) << "a wait that found something does not pulse while OnlyWhenIdle";
    TNetAntiFreezeBase::Pulse(true);
    TNetAntiFreezeBase::Pulse(false, true);
    EXPECT_EQ(a.Runs, 2);
    a.SetOnlyWhenIdle(false);
    TNetAntiFreezeBase::Pulse(false);
    EXPECT_EQ(a.Runs, 3);
    bool other = true;
    std::thread([&] { other = TNetAntiFreezeBase::InEffect(); }).join();
    EXPECT_FALSE(other) << "only the main thread";
    a.SetActive(false);
    EXPECT_FALSE(TNetAntiFreezeBase::InEffect());
    TNetAntiFreezeBase::Pulse(true);
    EXPECT_EQ(a.Runs, 3);
  }
  EXPECT_EQ(TNetAntiFreezeBase::CurrentAntiFreeze(), nullptr);
}

}  // namespace
}  // namespace NetTest
