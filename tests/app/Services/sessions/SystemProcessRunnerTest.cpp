#include "app/Services/sessions/SystemProcessRunner.hpp"

#include "tests/app/Printers.hpp"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace brisvane;

TEST(SystemProcessRunner, ReturnsWhatTheProgramPrinted)
{
    const SystemProcessRunner runner;
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "printf 'pid=1\\n日本語'"}), QString::fromUtf8("pid=1\n日本語"));
    // The exit status is not looked at.
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "echo partial; exit 1"}), "partial\n");
    // Much on the error pipe before the output: nothing stalls.
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "head -c 1048576 /dev/zero >&2; echo ok"}), "ok\n");
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "true"}), "");
}

TEST(SystemProcessRunner, ReturnsNothingForFailures)
{
    const SystemProcessRunner runner(0.3);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(runner.run("/nonexistent/program", {}), std::nullopt);
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "printf '\\377\\376'"}), std::nullopt); // not UTF-8
    // A program that floods its error pipe without end, and one that sleeps, are ended at the
    // time-out.
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "echo early; while :; do echo error >&2; done"}), std::nullopt);
    EXPECT_EQ(runner.run("/bin/sleep", {"30"}), std::nullopt);
    EXPECT_LT(timer.elapsed(), 3000);
}
