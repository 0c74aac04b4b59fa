// A console reporter for benchmarks that measure our path beside a bare
// socket: it keeps each benchmark's time per iteration (the median, when
// repetitions are reported only as aggregates) and prints the ratios at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace d4::testing {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // `subject` names our path in the printed lines ("channel", "virtual printer link").
    explicit RatioReporter(std::string subject) : subject_(std::move(subject)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
                perIteration_[Name(r)].push_back(r.GetAdjustedRealTime());
        }
    }

    // Prints ours against raw: as a throughput ratio (raw time / ours) or as
    // a time ratio (ours / raw), with the goal it is held against.
    void Ratio(const char* what, const std::string& ours, const std::string& raw, bool throughput,
               const char* goal) const {
        auto a = perIteration_.find(ours), b = perIteration_.find(raw);
        if (a == perIteration_.end() || b == perIteration_.end()) return;
        const double oursT = Median(a->second), rawT = Median(b->second);
        if (throughput)
            std::printf("%s: %s %.2fx the raw stream's throughput (goal %s)\n", what, subject_.c_str(), rawT / oursT,
                        goal);
        else
            std::printf("%s: %s %.2fx the raw round trip (goal %s)\n", what, subject_.c_str(), oursT / rawT, goal);
    }

private:
    // The function's name, and its argument after a slash when it has one.
    static std::string Name(const Run& r) {
        return r.run_name.args.empty() ? r.run_name.function_name : r.run_name.function_name + "/" + r.run_name.args;
    }
    static double Median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    std::string subject_;
    std::map<std::string, std::vector<double>> perIteration_;
};

}  // namespace d4::testing
