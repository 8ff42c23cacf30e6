// The runner of the small timing harness: registry, flags, the growing
// iteration count, repetitions with their median, console and JSON output.
#include "benchmark/benchmark.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

namespace benchmark {
namespace {

struct Options {
  std::string filter = ".";
  bool list = false;
  int repetitions = 1;
  double minTime = 0.5;
  bool aggregatesOnly = false;
  std::string out;
};

Options options;
std::vector<std::string> unrecognized;

std::vector<std::unique_ptr<Benchmark>> &registry() {
  static std::vector<std::unique_ptr<Benchmark>> benchmarks;
  return benchmarks;
}

struct Instance {
  Benchmark *benchmark;
  std::vector<int64_t> args;
  std::string name;
};

std::vector<Instance> instances() {
  std::vector<Instance> all;
  for (const auto &b : registry()) {
    std::vector<std::vector<int64_t>> argSets = b->args_;
    if (argSets.empty()) argSets.push_back({});
    for (const auto &args : argSets) {
      std::string name = b->name_;
      for (int64_t a : args) name += "/" + std::to_string(a);
      if (b->iterations_ > 0) name += "/iterations:" + std::to_string(b->iterations_);
      name += b->manual_ ? "/manual_time" : "/real_time";
      all.push_back({b.get(), args, name});
    }
  }
  return all;
}

struct Result {
  int64_t iterations = 0;
  double seconds = 0; // per iteration
  double itemsPerSecond = 0, bytesPerSecond = 0;
  std::map<std::string, double> counters;
};

Result runOnce(const Instance &instance) {
  int64_t n = instance.benchmark->iterations_ > 0 ? instance.benchmark->iterations_ : 1;
  for (;;) {
    State state(instance.args, n, instance.benchmark->manual_);
    instance.benchmark->function_(state);
    const double total = state.seconds();
    if (instance.benchmark->iterations_ > 0 || total >= options.minTime || n >= 1000000000) {
      Result r;
      r.iterations = n;
      r.seconds = total / double(n);
      if (total > 0) {
        r.itemsPerSecond = double(state.items()) / total;
        r.bytesPerSecond = double(state.bytes()) / total;
      }
      for (const auto &c : state.counters) r.counters[c.first] = c.second.value;
      return r;
    }
    // As Google Benchmark: aim past the minimum time, at most ten times more.
    const double scale = total > 0 ? std::min(10.0, options.minTime * 1.4 / total) : 10.0;
    n = std::max<int64_t>(n + 1, int64_t(double(n) * scale));
  }
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

std::string number(double v) {
  std::ostringstream s;
  s.precision(17);
  s << v;
  return s.str();
}

std::string jsonRun(const std::string &name, const std::string &runName, const Result &r, bool aggregate,
                    int repetitions) {
  std::ostringstream j;
  j << "    {\n      \"name\": \"" << name << "\",\n      \"run_name\": \"" << runName << "\",\n"
    << "      \"run_type\": \"" << (aggregate ? "aggregate" : "iteration") << "\",\n";
  if (aggregate) j << "      \"aggregate_name\": \"median\",\n";
  j << "      \"repetitions\": " << repetitions << ",\n      \"iterations\": " << r.iterations << ",\n"
    << "      \"real_time\": " << number(r.seconds * 1e9)
    << ",\n      \"cpu_time\": " << number(r.seconds * 1e9) << ",\n      \"time_unit\": \"ns\"";
  if (r.itemsPerSecond > 0) j << ",\n      \"items_per_second\": " << number(r.itemsPerSecond);
  if (r.bytesPerSecond > 0) j << ",\n      \"bytes_per_second\": " << number(r.bytesPerSecond);
  for (const auto &c : r.counters) j << ",\n      \"" << c.first << "\": " << number(c.second);
  j << "\n    }";
  return j.str();
}

} // namespace

Benchmark *RegisterBenchmark(const char *name, void (*function)(State &)) {
  registry().push_back(std::make_unique<Benchmark>(name, function));
  return registry().back().get();
}

void Initialize(int *argc, char **argv) {
  for (int i = 1; i < *argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char *flag) -> const char * {
      const size_t n = std::strlen(flag);
      return arg.compare(0, n, flag) == 0 ? arg.c_str() + n : nullptr;
    };
    if (const char *v = value("--benchmark_filter="))
      options.filter = v;
    else if (arg == "--benchmark_list_tests" || arg == "--benchmark_list_tests=true")
      options.list = true;
    else if (const char *v = value("--benchmark_repetitions="))
      options.repetitions = std::max(1, std::atoi(v));
    else if (const char *v = value("--benchmark_min_time="))
      options.minTime = std::atof(v);
    else if (arg == "--benchmark_report_aggregates_only=true")
      options.aggregatesOnly = true;
    else if (const char *v = value("--benchmark_out="))
      options.out = v;
    else if (value("--benchmark_out_format=json")) {
    } else
      unrecognized.push_back(arg);
  }
}

bool ReportUnrecognizedArguments(int, char **argv) {
  for (const std::string &arg : unrecognized)
    std::fprintf(stderr, "%s: unrecognized argument '%s'\n", argv[0], arg.c_str());
  return !unrecognized.empty();
}

size_t RunSpecifiedBenchmarks() {
  const std::regex filter(options.filter);
  std::vector<std::string> runs;
  size_t count = 0;
  for (const Instance &instance : instances()) {
    if (!std::regex_search(instance.name, filter)) continue;
    ++count;
    if (options.list) {
      std::printf("%s\n", instance.name.c_str());
      continue;
    }
    std::vector<Result> results;
    for (int r = 0; r < options.repetitions; ++r) {
      results.push_back(runOnce(instance));
      const Result &last = results.back();
      std::printf("%-60s %14.0f ns %10lld", instance.name.c_str(), last.seconds * 1e9,
                  static_cast<long long>(last.iterations));
      for (const auto &c : last.counters) std::printf(" %s=%g", c.first.c_str(), c.second);
      std::printf("\n");
      if (!options.aggregatesOnly || options.repetitions == 1)
        runs.push_back(jsonRun(instance.name, instance.name, last, false, options.repetitions));
    }
    if (options.repetitions > 1) {
      Result m;
      auto pick = [&](auto field) {
        std::vector<double> v;
        for (const Result &r : results) v.push_back(field(r));
        return median(v);
      };
      m.iterations = results.front().iterations;
      m.seconds = pick([](const Result &r) { return r.seconds; });
      m.itemsPerSecond = pick([](const Result &r) { return r.itemsPerSecond; });
      m.bytesPerSecond = pick([](const Result &r) { return r.bytesPerSecond; });
      for (const auto &c : results.front().counters)
        m.counters[c.first] = pick([&](const Result &r) { return r.counters.at(c.first); });
      runs.push_back(jsonRun(instance.name + "_median", instance.name, m, true, options.repetitions));
    }
    std::fflush(stdout);
  }
  if (!options.list && !options.out.empty()) {
    std::ofstream out(options.out);
    char date[64];
    const std::time_t now = std::time(nullptr);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", std::localtime(&now));
    out << "{\n  \"context\": {\n    \"date\": \"" << date
        << "\",\n    \"host_name\": \"windows-x64 under wine64\",\n"
        << "    \"num_cpus\": " << std::thread::hardware_concurrency() << ",\n    \"mhz_per_cpu\": 0,\n"
        << "    \"library_build_type\": \"in-repo timing harness\"\n  },\n  \"benchmarks\": [\n";
    for (size_t i = 0; i < runs.size(); ++i) out << runs[i] << (i + 1 < runs.size() ? ",\n" : "\n");
    out << "  ]\n}\n";
  }
  return count;
}

void Shutdown() {}

} // namespace benchmark
