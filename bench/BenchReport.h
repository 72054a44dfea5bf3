// The closing table of a benchmark program: each figure beside what it is held against (a floor
// measured in the same run, a smaller run of the same work, or a fixed budget), with the minimum
// and the median over the repetitions (--benchmark_repetitions) of each side.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace benchreport {

// Keeps the real time per iteration of every repetition of every benchmark, by its name
// ("BM_Name" or "BM_Name/argument"), and the counters each repetition set in milliseconds (as
// "BM_Name/argument:counter", in seconds like the times).
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations <= 0 || run.error_occurred) continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
            seconds_[name].push_back(run.real_accumulated_time / static_cast<double>(run.iterations));
            for (const auto& [counter, value] : run.counters)
                if (counter.size() > 3 && counter.compare(counter.size() - 3, 3, "_ms") == 0)
                    seconds_[name + ":" + counter].push_back(value.value / 1e3);
        }
    }

    double min(const std::string& name) const {
        auto it = seconds_.find(name);
        return it == seconds_.end() || it->second.empty()
                   ? 0
                   : *std::min_element(it->second.begin(), it->second.end());
    }
    double median(const std::string& name) const {
        auto it = seconds_.find(name);
        if (it == seconds_.end() || it->second.empty()) return 0;
        std::vector<double> sorted = it->second;
        std::sort(sorted.begin(), sorted.end());
        size_t n = sorted.size();
        return n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    size_t runs(const std::string& name) const {
        auto it = seconds_.find(name);
        return it == seconds_.end() ? 0 : it->second.size();
    }

private:
    std::map<std::string, std::vector<double>> seconds_;
};

// One line of the table: a figure against another benchmark (ratio of the medians, and of the
// minimums, at most `limit`; a limit of 0 only shows the ratio) or, without one, against a budget
// of `limit` milliseconds. A figure is a benchmark's real time per iteration, or one of its
// counters in milliseconds ("BM_Name/argument:cpu_ms").
struct Line {
    std::string label;
    std::string figure;
    std::string against;  // empty: `limit` is a budget in milliseconds
    double limit = 0;
};

// Prints the table; answers whether every figure met its limit (judged on the medians).
inline bool print(const Reporter& reporter, const std::vector<Line>& lines) {
    bool met = true;
    std::printf("\n%-26s %11s %11s %11s %11s %8s %8s %10s\n", "figure", "min ms", "median ms", "vs min ms",
                "vs med ms", "ratio", "min rt", "target");
    for (const Line& line : lines) {
        const double min = reporter.min(line.figure) * 1e3, median = reporter.median(line.figure) * 1e3;
        if (median <= 0) continue;
        char target[32];
        if (line.against.empty()) {
            std::snprintf(target, sizeof target, "<= %.1f ms", line.limit);
            const bool ok = median <= line.limit;
            met = met && ok;
            std::printf("%-26s %11.3f %11.3f %11s %11s %8s %8s %10s %s\n", line.label.c_str(), min, median,
                        "-", "-", "-", "-", target, ok ? "ok" : "OVER");
            continue;
        }
        const double otherMin = reporter.min(line.against) * 1e3,
                     otherMedian = reporter.median(line.against) * 1e3;
        if (otherMedian <= 0) continue;
        const double ratio = median / otherMedian;
        const char* verdict = "";
        if (line.limit > 0) {
            std::snprintf(target, sizeof target, "<= %.1fx", line.limit);
            const bool ok = ratio <= line.limit;
            met = met && ok;
            verdict = ok ? "ok" : "OVER";
        } else {
            std::snprintf(target, sizeof target, "-");
        }
        std::printf("%-26s %11.3f %11.3f %11.3f %11.3f %8.2f %8.2f %10s %s\n", line.label.c_str(), min,
                    median, otherMin, otherMedian, ratio, min / otherMin, target, verdict);
    }
    return met;
}

}  // namespace benchreport
