#pragma once
// A console reporter that, after the usual table, prints each of our timings as a ratio to
// its reference from the same run. Times are CPU times (the mean when repetitions are asked
// for): the machines this runs on are shared, and wall time measures the neighbours. Colours
// are used only on a terminal, so scripts can read the output as it is.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kivo::bench {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    struct Ratio {
        std::string label;      // printed as "ratio <label>: ..."
        std::string ours;       // benchmark name prefix of our code
        std::string reference;  // benchmark name prefix of the reference
        std::string target;     // e.g. "at most 1.0"
    };

    explicit RatioReporter(std::vector<Ratio> ratios,
                           std::function<void(const RatioReporter&)> extra = {})
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular),
          ratios_(std::move(ratios)),
          extra_(std::move(extra)) {}

    // Single runs are kept under their name; with repetitions the mean replaces them, since
    // the runs share one name and the last repetition alone says little.
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "mean") {
                    times_[name] = run.GetAdjustedCPUTime();
                    means_.insert(name);
                }
            } else if (!means_.contains(name)) {
                times_[name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const Ratio& ratio : ratios_) {
            const double ours = Time(ratio.ours), reference = Time(ratio.reference);
            if (ours > 0 && reference > 0) {
                std::printf("ratio %s: %.2f (target %s)\n", ratio.label.c_str(), ours / reference,
                            ratio.target.c_str());
            }
        }
        if (extra_) extra_(*this);
    }

    // The CPU time of the first benchmark whose name starts with prefix, 0 when none ran.
    [[nodiscard]] double Time(const std::string& prefix) const {
        for (const auto& [name, time] : times_) {
            if (name.rfind(prefix, 0) == 0) return time;
        }
        return 0;
    }

  private:
    std::vector<Ratio> ratios_;
    std::function<void(const RatioReporter&)> extra_;
    std::map<std::string, double> times_;
    std::set<std::string> means_;
};

// Runs the benchmarks of this program with the reporter.
inline int RunWithRatios(int argc, char** argv, RatioReporter& reporter) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace kivo::bench
