// A small timing harness with the part of Google Benchmark's interface the
// benchmarks use, for the Windows builds, where Debian ships no Google
// Benchmark. Same loop, same flags, same JSON fields, so the same sources
// and the same report serve both. What it does not do: CPU time (it reports
// wall time in its place) and statistics beyond the median.
#ifndef CAMERA_BENCH_HARNESS_BENCHMARK_H
#define CAMERA_BENCH_HARNESS_BENCHMARK_H

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

struct Counter {
  enum Flags { kDefaults = 0 };
  Counter(double v = 0) : value(v) {}
  operator double() const { return value; }
  double value;
};

class State {
public:
  struct Value {
    ~Value() {} // not trivial: the loop variable is used only for its loop
  };
  class Iterator {
  public:
    Iterator(State *state, int64_t left) : state_(state), left_(left) {}
    bool operator!=(const Iterator &) {
      if (left_-- > 0) return true;
      state_->finish();
      return false;
    }
    void operator++() {}
    Value operator*() const { return Value(); }

  private:
    State *state_;
    int64_t left_;
  };

  State(const std::vector<int64_t> &args, int64_t iterations, bool manualTime)
      : args_(args), iterations_(iterations), manual_(manualTime) {}

  Iterator begin() {
    start_ = std::chrono::steady_clock::now();
    running_ = true;
    return Iterator(this, iterations_);
  }
  Iterator end() { return Iterator(this, 0); }

  int64_t range(size_t i = 0) const { return args_.at(i); }
  int64_t iterations() const { return iterations_; }
  void PauseTiming() {
    if (!running_) return;
    elapsed_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    running_ = false;
  }
  void ResumeTiming() {
    start_ = std::chrono::steady_clock::now();
    running_ = true;
  }
  void SetIterationTime(double seconds) { manualSeconds_ += seconds; }
  void SetItemsProcessed(int64_t items) { items_ = items; }
  void SetBytesProcessed(int64_t bytes) { bytes_ = bytes; }

  std::map<std::string, Counter> counters;

  // For the runner.
  double seconds() const { return manual_ ? manualSeconds_ : elapsed_; }
  int64_t items() const { return items_; }
  int64_t bytes() const { return bytes_; }

private:
  void finish() { PauseTiming(); }

  std::vector<int64_t> args_;
  int64_t iterations_;
  bool manual_;
  bool running_ = false;
  std::chrono::steady_clock::time_point start_;
  double elapsed_ = 0, manualSeconds_ = 0;
  int64_t items_ = 0, bytes_ = 0;
};

class Benchmark {
public:
  Benchmark(const char *name, void (*function)(State &)) : name_(name), function_(function) {}
  Benchmark *Name(const std::string &name) {
    name_ = name;
    return this;
  }
  Benchmark *Args(const std::vector<int64_t> &args) {
    args_.push_back(args);
    return this;
  }
  Benchmark *Iterations(int64_t n) {
    iterations_ = n;
    return this;
  }
  Benchmark *UseRealTime() {
    manual_ = false;
    return this;
  }
  Benchmark *UseManualTime() {
    manual_ = true;
    return this;
  }

  std::string name_;
  void (*function_)(State &);
  std::vector<std::vector<int64_t>> args_;
  int64_t iterations_ = 0; // 0: enough for the minimum time
  bool manual_ = false;
};

Benchmark *RegisterBenchmark(const char *name, void (*function)(State &));
void Initialize(int *argc, char **argv);
bool ReportUnrecognizedArguments(int argc, char **argv);
size_t RunSpecifiedBenchmarks();
void Shutdown();

template <typename T> inline void DoNotOptimize(T const &value) {
  asm volatile("" : : "r,m"(value) : "memory");
}
inline void ClobberMemory() { asm volatile("" : : : "memory"); }

} // namespace benchmark

#define CAMERA_BENCH_CONCAT2(a, b) a##b
#define CAMERA_BENCH_CONCAT(a, b) CAMERA_BENCH_CONCAT2(a, b)
#define BENCHMARK(function)                                                                                  \
  static ::benchmark::Benchmark *CAMERA_BENCH_CONCAT(benchmarkRegistered, __LINE__) [[maybe_unused]] =       \
      ::benchmark::RegisterBenchmark(#function, function)
#define BENCHMARK_MAIN()                                                                                     \
  int main(int argc, char **argv) {                                                                          \
    ::benchmark::Initialize(&argc, argv);                                                                    \
    if (::benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;                                      \
    ::benchmark::RunSpecifiedBenchmarks();                                                                   \
    ::benchmark::Shutdown();                                                                                 \
    return 0;                                                                                                \
  }

#endif
