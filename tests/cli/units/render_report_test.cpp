// A render's exit status when it meets failures of several kinds: an output
// that failed makes it 3, an input that failed 2, whatever came first.
#include "commands/progress.h"
#include "commands/render_report.h"
#include "errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace taviron::cli {
namespace {

using Failure = std::function<void(RenderReport&)>;

ExitStatus StatusAfter(const std::vector<Failure>& failures) {
    Progress progress(10, ProgressFormat::Text, false);
    RenderReport report(progress);
    for (const Failure& failure : failures) failure(report);
    return report.Finish();
}

TEST(RenderReportTest, AnOutputFailureDecidesTheStatusWhateverTheOrder) {
    const Failure brokenInput = [](RenderReport& report) { report.Failed(2, InputError("plate.0002.png is broken")); };
    const Failure missingInput = [](RenderReport& report) {
        report.Missing(4, "the input plate.####.png", "plate.0004.png");
    };
    const Failure unwritable = [](RenderReport& report) { report.Failed(6, OutputError("out.0006.png: disk full")); };
    const Failure stopped = [](RenderReport& report) { report.Failed(OutputError("cannot write to standard output")); };

    EXPECT_EQ(StatusAfter({}), ExitStatus::Ok);
    EXPECT_EQ(StatusAfter({brokenInput, missingInput}), ExitStatus::Input);
    for (const Failure& output : {unwritable, stopped}) {
        EXPECT_EQ(StatusAfter({brokenInput, output}), ExitStatus::Output);
        EXPECT_EQ(StatusAfter({output, brokenInput}), ExitStatus::Output);
        EXPECT_EQ(StatusAfter({missingInput, output}), ExitStatus::Output);
        EXPECT_EQ(StatusAfter({output, missingInput}), ExitStatus::Output);
        EXPECT_EQ(StatusAfter({output, brokenInput, missingInput}), ExitStatus::Output);
    }
}

}  // namespace
}  // namespace taviron::cli
