#include "forceremove/Tasks.h"
#include "forceremove/TimeCounter.h"
#include "tests/TestBase.h"

using namespace velmora;

namespace {

// A scan step that reports the progress it is given and records that it ran.
class TStepTask : public TFRTask {
public:
    TStepTask(std::vector<std::string>& log, std::string name, int32_t complexity = 1)
        : FLog(log), FName(std::move(name)), FComplexity(complexity) {}
    int32_t GetComplexity() override { return FComplexity; }
    void Run() override { FLog.push_back(FName); }
    void Report(int32_t progress) { SetProgress(progress); }

private:
    std::vector<std::string>& FLog;
    std::string FName;
    int32_t FComplexity;
};

} // namespace

// The tasks run in order, each ending complete; that a failing one ends the
// run unfinished is the controller's failed scan (ForceRemoveTests.cpp).
TEST(Tasks, ProgressWeighsEachTaskByItsComplexity) {
    std::vector<std::string> log;
    TStepTask heavy(log, "heavy", 4), light(log, "light", 1), plain(log, "plain");
    TFRTasks tasks;
    EXPECT_EQ(tasks.Progress(), 0);
    for (TStepTask* task : {&heavy, &light, &plain})
        tasks.AddOperation(*task);
    heavy.Report(50);  // Trunc(4/6 x 50) = 33
    light.Report(100); // Trunc(1/6 x 100) = 16
    plain.Report(5);   // Trunc(1/6 x 5) = 0
    EXPECT_EQ(tasks.Progress(), 49);
    tasks.Run();
    EXPECT_EQ(log, (std::vector<std::string>{"heavy", "light", "plain"}));
    EXPECT_EQ(heavy.GetProgress(), 100);
    EXPECT_TRUE(tasks.Finished());
}

// Each step, the time that passes after it and the time counted then; a
// second Resume while running loses nothing.
TEST(TimeCounter, PausedPeriodsDoNotCount) {
    uint64_t now = 1000;
    TTimeCounter timer([&] { return now; });
    EXPECT_EQ(timer.Elapsed(), 0u);
    const struct {
        void (TTimeCounter::*Step)();
        uint64_t Passing, Counted;
    } steps[] = {{&TTimeCounter::Start, 300, 300},  {&TTimeCounter::Suspend, 5000, 300},
                 {&TTimeCounter::Resume, 200, 500}, {&TTimeCounter::Resume, 100, 600},
                 {&TTimeCounter::Stop, 100, 600},   {&TTimeCounter::Suspend, 0, 600},
                 {&TTimeCounter::Start, 7, 7}};
    for (const auto& step : steps) {
        (timer.*step.Step)();
        now += step.Passing;
        EXPECT_EQ(timer.Elapsed(), step.Counted);
    }
}
