// watchDriverSignal: a driver event's way to a MATLAB callback, with the
// session host's main thread blocked in its message loop, against a bare
// two-thread wake-up through the same kind of event; and a hundred cameras
// watched at once.
#include "andor_sim_control.h"
#include "bench_support.h"
#include "matlab_session.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

constexpr auto patience = std::chrono::seconds(10);

// Cameras 1 to count, 16 x 8, each acquiring (deterministic images of a
// still picture: the raiser's image costs a copy, not a drawing).
void addCameras(int32_t count) {
  andorSimReset();
  andorSimSetFreeRunning(0);
  for (int32_t handle = 1; handle <= count; ++handle) {
    andorSimAddCamera(handle, 16, 8);
    andorSimSetStillPicture(handle, 1);
    selectCamera(handle);
    startAcquisition();
  }
}

mexhost::Value cameraObject(mexhost::Session &session, int32_t handle) {
  return session.object("AndorCamera", {{"cameraHandle", session.number(handle)}});
}

void mustCall(mexhost::Session &session, const std::vector<mexhost::Value> &inputs) {
  mexhost::CallResult result = session.call("watchDriverSignal", inputs, 0);
  if (!result.ok) throw std::runtime_error(result.errorMessage);
}

// A thread that, each time it is told, lets the waiter block, notes the
// time and raises the event under measurement.
class Raiser {
public:
  template <typename Raise>
  explicit Raiser(Raise raise)
      : go_(CreateEventA(nullptr, FALSE, FALSE, nullptr)), thread_([this, raise] {
          for (;;) {
            WaitForSingleObject(go_, INFINITE);
            if (stop_) return;
            bench::letWaiterBlock();
            raisedAt_ = bench::Clock::now().time_since_epoch().count();
            raise();
          }
        }) {}
  ~Raiser() {
    stop_ = true;
    SetEvent(go_);
    thread_.join();
    CloseHandle(go_);
  }
  void raise() { SetEvent(go_); }
  bench::Clock::time_point raisedAt() const {
    return bench::Clock::time_point(bench::Clock::duration(raisedAt_.load()));
  }

private:
  HANDLE go_;
  std::atomic<bool> stop_{false};
  std::atomic<bench::Clock::rep> raisedAt_{0};
  std::thread thread_;
};

void eventToCallback(benchmark::State &state) {
  addCameras(1);
  bench::Latencies latencies;
  {
    mexhost::Session session;
    session.setSharingChecks(false); // time the libraries, not the stand-in's checks
    session.addPath(MEX_DIR);
    std::atomic<int> calls{0};
    bench::Clock::time_point calledAt;
    mexhost::Value callback = session.functionHandle([&](const std::vector<const mxArray *> &, int) {
      calledAt = bench::Clock::now();
      ++calls;
      return std::vector<mexhost::Value>{};
    });
    mustCall(session, {cameraObject(session, 1), callback});
    {
      Raiser raiser([] { andorSimProduceImages(1, 1); });
      int expected = 0;
      for (auto _ : state) {
        ++expected;
        raiser.raise();
        if (!session.runUntil([&] { return calls.load() >= expected; }, patience))
          throw std::runtime_error("no callback came");
        const double latency = bench::seconds(calledAt - raiser.raisedAt());
        latencies.add(latency);
        state.SetIterationTime(latency);
      }
    }
    mustCall(session, {cameraObject(session, 1)});
    session.close();
  }
  andorSimReset();
  latencies.report(state);
  bench::reportMemory(state, 16 * 8 * 2 * 16);
}

void eventPingPong(benchmark::State &state) {
  bench::Latencies latencies;
  HANDLE ping = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  {
    Raiser raiser([ping] { SetEvent(ping); });
    for (auto _ : state) {
      raiser.raise();
      if (WaitForSingleObject(ping, 10000) != WAIT_OBJECT_0) throw std::runtime_error("no wake-up");
      const double latency = bench::seconds(bench::Clock::now() - raiser.raisedAt());
      latencies.add(latency);
      state.SetIterationTime(latency);
    }
  }
  CloseHandle(ping);
  latencies.report(state);
  bench::reportMemory(state, 0);
}

constexpr int32_t manyCameras = 100;

// Registering 100 cameras (timed), then taking each registration back.
void registerMany(benchmark::State &state) {
  addCameras(manyCameras);
  {
    mexhost::Session session;
    session.setSharingChecks(false); // time the libraries, not the stand-in's checks
    session.addPath(MEX_DIR);
    mexhost::Value callback = session.functionHandle(
        [](const std::vector<const mxArray *> &, int) { return std::vector<mexhost::Value>{}; });
    std::vector<mexhost::Value> cameras;
    for (int32_t handle = 1; handle <= manyCameras; ++handle)
      cameras.push_back(cameraObject(session, handle));
    mustCall(session, {cameras[0], callback}); // the library is loaded outside the figure
    mustCall(session, {cameras[0]});
    double residentGrowth = 0, kept = 0;
    for (auto _ : state) {
      const double before = bench::residentBytes();
      for (const mexhost::Value &camera : cameras) mustCall(session, {camera, callback});
      state.PauseTiming();
      residentGrowth = bench::residentBytes() - before;
      for (const mexhost::LibraryMemory &library : session.memory())
        if (library.library == "watchDriverSignal") kept = double(library.persistent.bytes);
      for (const mexhost::Value &camera : cameras) mustCall(session, {camera});
      state.ResumeTiming();
    }
    state.counters["rss_per_camera_KB"] = residentGrowth / manyCameras / 1e3;
    state.counters["kept_per_camera_B"] = kept / manyCameras;
    session.close();
  }
  andorSimReset();
  bench::reportMemory(state, 16.0 * 8 * 2 * 16 * manyCameras);
}

// One event on each of 100 watched cameras: time until all 100 callbacks ran.
void eventOnEach(benchmark::State &state) {
  addCameras(manyCameras);
  {
    mexhost::Session session;
    session.setSharingChecks(false); // time the libraries, not the stand-in's checks
    session.addPath(MEX_DIR);
    std::atomic<int> calls{0};
    mexhost::Value callback = session.functionHandle([&](const std::vector<const mxArray *> &, int) {
      ++calls;
      return std::vector<mexhost::Value>{};
    });
    std::vector<mexhost::Value> cameras;
    for (int32_t handle = 1; handle <= manyCameras; ++handle) {
      cameras.push_back(cameraObject(session, handle));
      mustCall(session, {cameras.back(), callback});
    }
    int expected = 0;
    for (auto _ : state) {
      expected += manyCameras;
      for (int32_t handle = 1; handle <= manyCameras; ++handle) andorSimProduceImages(handle, 1);
      if (!session.runUntil([&] { return calls.load() >= expected; }, patience))
        throw std::runtime_error("callbacks missing");
    }
    state.counters["callbacks"] = double(calls.load()) / double(state.iterations());
    for (const mexhost::Value &camera : cameras) mustCall(session, {camera});
    session.close();
  }
  andorSimReset();
  bench::reportMemory(state, 16.0 * 8 * 2 * 16 * manyCameras);
}

} // namespace

BENCHMARK(eventToCallback)->Name("watchDriverSignal/event_to_callback")->UseManualTime()->Iterations(5000);
BENCHMARK(eventPingPong)->Name("watchDriverSignal/baseline_ping_pong")->UseManualTime()->Iterations(5000);
BENCHMARK(registerMany)->Name("watchDriverSignal/register_100")->UseRealTime();
BENCHMARK(eventOnEach)->Name("watchDriverSignal/event_on_100")->UseRealTime();

BENCHMARK_MAIN();
