// Keeps each benchmark's real and CPU time per iteration, so a program can print ratios after the run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.iterations > 0) {
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
                cpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
                if (const auto wall = run.counters.find("wall_ms"); wall != run.counters.end())
                    walls[run.benchmark_name()] = wall->second.value;
            }
        ConsoleReporter::ReportRuns(runs);
    }
    // The time of the first benchmark whose name starts with prefix (a name may carry arguments);
    // 0 when none ran.
    double timeOf(const std::string& prefix) const { return firstOf(times, prefix); }
    double cpuTimeOf(const std::string& prefix) const { return firstOf(cpuTimes, prefix); }
    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes;
    // A benchmark timed in processor time keeps its wall time in the counter wall_ms.
    std::map<std::string, double> walls;

private:
    static double firstOf(const std::map<std::string, double>& in, const std::string& prefix) {
        for (const auto& [name, time] : in)
            if (name.rfind(prefix, 0) == 0)
                return time;
        return 0.0;
    }
};
