// Speed of the database access layer on host-sized tables: reading a
// client's sessions through the record class, finding a client, and the
// layout comparison of the main database with its template.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "store/host_builder.h"
#include "store/records.h"
#include "store/records_host.h"
#include "store/staging.h"

namespace {

namespace fs = std::filesystem;

fs::path schemaDir() { return fs::path(RC_PROGRAM_DIR) / "schema"; }

rc::HostDbBuilder mainDatabase(int clients, int sessionsPerClient) {
  auto b = rc::HostDbBuilder::create(rc::HostDbKind::Main, schemaDir());
  if (!b) std::abort();
  b->execute("BEGIN");
  for (int c = 1; c <= clients; ++c) {
    rc::ClientsRow client;
    client.ClientID = c;
    client.LastName = "Client " + std::to_string(c);
    b->add(client);
    for (int s = 1; s <= sessionsPerClient; ++s) {
      rc::SessionsRow row;
      row.ClientID = c;
      row.SessionID = s;
      row.DateTime = {2024, 1 + s % 12, 1 + s % 28, 10, 0, 0};
      row.Duration = 600;
      b->add(row);
    }
  }
  b->execute("COMMIT");
  return std::move(b.value());
}

void BM_SessionListOfClient(benchmark::State& state) {
  auto b = mainDatabase(static_cast<int>(state.range(0)), 20);
  for (auto _ : state) {
    rc::CRecSessions rec(b.database());
    double total = 0;
    for (rec.openQuery(rc::sessionListQuery(3)); !rec.isEOF(); rec.moveNext()) total += rec.Duration;
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_SessionListOfClient)->Arg(100)->Arg(1000);

void BM_ClientListAndFind(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  auto b = mainDatabase(n, 0);
  for (auto _ : state) {
    rc::CRecClients rec(b.database());
    rec.openQuery(rc::clientListQuery());
    benchmark::DoNotOptimize(rec.find(rc::clientCriterion(n)));
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ClientListAndFind)->Arg(1000)->Arg(10000);

void BM_MainLayoutComparison(benchmark::State& state) {
  fs::path dir = fs::temp_directory_path() / ("rc-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  if (!rc::makeTemplates(schemaDir(), dir)) std::abort();
  if (!mainDatabase(10, 2).write(dir / "csdb.zeb")) std::abort();
  for (auto _ : state) benchmark::DoNotOptimize(rc::compareSchema(dir / "csdb.zeb", 9, dir, dir));
  fs::remove_all(dir);
}
BENCHMARK(BM_MainLayoutComparison)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
