// The library's containers against the standard ones, at 10^5 and 10^6 elements: the
// sequential cursor walk of a dataset, inserts and deletes at the cursor during a walk,
// random positional inserts and deletes, and sorted Add / IndexOf. After the usual table,
// every figure is printed as a ratio to its standard baseline measured in the same run.
// Edits at a walking cursor compare with std::list kept at the cursor by an iterator (its
// natural use: each edit is constant time, each step one link), beside std::vector and
// std::deque shifting their elements; random edits compare with std::vector, as a list would
// first have to walk to each position.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <random>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "foundation/MacDeque.h"
#include "foundation/MacList.h"
#include "foundation/MacSet.h"

namespace {

using vandrel::TMacDeque;
using vandrel::TMacList;
using vandrel::TMacSetOfIntegers;

constexpr int Sizes[] = {100000, 1000000};
// Operations per timed round in the editing and sorted groups (the walk visits every element).
constexpr int Edits = 1000;
constexpr int Lookups = 10000;

void* Cell(std::intptr_t V) { return reinterpret_cast<void*>(V); }

std::vector<int> RandomInts(int Count, int Below, unsigned Seed) {
  std::mt19937 Rng(Seed);
  std::vector<int> Out(Count);
  for (int& V : Out) V = static_cast<int>(Rng() % static_cast<unsigned>(Below));
  return Out;
}

// ---- filling -------------------------------------------------------------------------------

void Fill(std::vector<void*>& V, int N) {
  for (int I = 0; I < N; ++I) V.push_back(Cell(I));
}
void Fill(std::deque<void*>& D, int N) {
  for (int I = 0; I < N; ++I) D.push_back(Cell(I));
}
void Fill(TMacDeque& D, int N) {
  for (int I = 0; I < N; ++I) D.DoInsertAfterCurrent(Cell(I));
}
void Fill(TMacList& L, int N) {
  for (int I = 0; I < N; ++I) L.Add(Cell(I));
}

// ---- sequential cursor walk ----------------------------------------------------------------

template <class Sequence>
void WalkIndexed(benchmark::State& State) {
  Sequence S;
  const int N = static_cast<int>(State.range(0));
  Fill(S, N);
  for (auto _ : State)
    for (int I = 0; I < N; ++I) benchmark::DoNotOptimize(S[I]);
}

// The floor of any structure with one linked node per element: following the links.
void WalkLinked(benchmark::State& State) {
  std::list<void*> L;
  const int N = static_cast<int>(State.range(0));
  for (int I = 0; I < N; ++I) L.push_back(Cell(I));
  for (auto _ : State)
    for (void* P : L) benchmark::DoNotOptimize(P);
}

void WalkDeque(benchmark::State& State) {
  TMacDeque D(100);
  const int N = static_cast<int>(State.range(0));
  Fill(D, N);
  for (auto _ : State)
    for (int I = 0; I < N; ++I) {
      D.SetCurrentPosition(I);
      benchmark::DoNotOptimize(D.GetCurrentData());
    }
}

void WalkList(benchmark::State& State) {
  TMacList L(100);
  const int N = static_cast<int>(State.range(0));
  Fill(L, N);
  for (auto _ : State)
    for (int I = 0; I < N; ++I) benchmark::DoNotOptimize(L.GetItems(I));
}

// ---- editing at a walking cursor, and at random positions ----------------------------------

// Positions for Edits insert/delete pairs: either a cursor that walks forward a few steps
// between edits, or random positions.
std::vector<int> EditPositions(int N, bool Walking) {
  std::vector<int> Out;
  std::mt19937 Rng(5);
  int P = N / 3;
  for (int I = 0; I < 2 * Edits; ++I) {
    P = Walking ? (P + 1 + static_cast<int>(Rng() % 8)) % (N - 1) : static_cast<int>(Rng() % (N - 1));
    Out.push_back(P);
  }
  return Out;
}

// Fills C, then times rounds of Edits pairs: an insert at one position, a delete at the next.
template <class Container, class InsertAt, class DeleteAt>
void EditRounds(benchmark::State& State, Container& C, bool Walking, InsertAt Insert, DeleteAt Delete) {
  const int N = static_cast<int>(State.range(0));
  Fill(C, N);
  const auto Positions = EditPositions(N, Walking);
  for (auto _ : State)
    for (int I = 0; I < 2 * Edits; I += 2) {
      Insert(C, Positions[I]);
      Delete(C, Positions[I + 1]);
    }
  benchmark::DoNotOptimize(&C);
}

template <class Sequence>
void EditStd(benchmark::State& State, bool Walking) {
  Sequence S;
  EditRounds(
      State, S, Walking, [](Sequence& Q, int P) { Q.insert(Q.begin() + P, Cell(-1)); },
      [](Sequence& Q, int P) { Q.erase(Q.begin() + P); });
}

// A cursor over std::list: an iterator at index Cur, moved forward by links (back to the
// front when the walk wraps around).
struct TListCursor {
  std::list<void*> L;
  std::list<void*>::iterator It;
  int Cur = 0;
  void MoveTo(int P) {
    if (P < Cur) It = L.begin(), Cur = 0;
    It = std::next(It, P - Cur);
    Cur = P;
  }
};
void Fill(TListCursor& C, int N) {
  for (int I = 0; I < N; ++I) C.L.push_back(Cell(I));
  C.It = C.L.begin();
}

void EditLinkedCursor(benchmark::State& State) {
  TListCursor C;
  EditRounds(
      State, C, true,
      [](TListCursor& Q, int P) {
        Q.MoveTo(P);
        Q.It = Q.L.insert(Q.It, Cell(-1));
      },
      [](TListCursor& Q, int P) {
        Q.MoveTo(P);
        Q.It = Q.L.erase(Q.It);
      });
}

void EditDeque(benchmark::State& State, bool Walking) {
  TMacDeque D(100);
  EditRounds(
      State, D, Walking,
      [](TMacDeque& Q, int P) {
        Q.SetCurrentPosition(P);
        Q.DoInsertBeforeCurrent(Cell(-1));
      },
      [](TMacDeque& Q, int P) {
        Q.SetCurrentPosition(P);
        Q.DoDeleteCurrent();
      });
}

void EditList(benchmark::State& State, bool Walking) {
  TMacList L(100);
  EditRounds(
      State, L, Walking, [](TMacList& Q, int P) { Q.Insert(P, Cell(-1)); },
      [](TMacList& Q, int P) { Q.Delete(P); });
}

// ---- sorted Add and IndexOf --------------------------------------------------------------
// The sets hold the even numbers 0, 2, .., 2(N-1); a timed round adds Edits odd keys (random
// or ascending), then they are removed untimed. Lookups probe random keys, half present.

std::vector<int> OddKeys(int N, bool Ascending) {
  std::vector<int> Keys = RandomInts(Edits, N, 17);
  if (Ascending)
    for (int I = 0; I < Edits; ++I) Keys[I] = N / 2 + I;
  for (int& K : Keys) K = 2 * K + 1;
  return Keys;
}

void SetAdd(std::set<int>& S, int K) { S.insert(K); }
void SetAdd(TMacSetOfIntegers& S, int K) { S.Add(K); }
void SetRemove(std::set<int>& S, int K) { S.erase(K); }
void SetRemove(TMacSetOfIntegers& S, int K) { S.Remove(K); }
bool SetFind(const std::set<int>& S, int K) { return S.find(K) != S.end(); }
int SetFind(const TMacSetOfIntegers& S, int K) { return S.IndexOf(K); }

template <class Set>
void FillEven(Set& S, int N) {
  for (int I = 0; I < N; ++I) SetAdd(S, 2 * I);
}

template <class Set>
void SortedAdd(benchmark::State& State, bool Ascending) {
  Set S;
  const int N = static_cast<int>(State.range(0));
  FillEven(S, N);
  const auto Keys = OddKeys(N, Ascending);
  for (auto _ : State) {
    for (int K : Keys) SetAdd(S, K);
    State.PauseTiming();
    for (int K : Keys) SetRemove(S, K);
    State.ResumeTiming();
  }
}

template <class Set>
void IndexOf(benchmark::State& State, bool WithTable) {
  Set S;
  const int N = static_cast<int>(State.range(0));
  FillEven(S, N);
  if constexpr (std::is_same_v<Set, TMacSetOfIntegers>)
    if (WithTable) S.BuildTab();
  const auto Keys = RandomInts(Lookups, 2 * N, 23);
  for (auto _ : State)
    for (int K : Keys) benchmark::DoNotOptimize(SetFind(S, K));
}

// ---- registration and the ratio table -------------------------------------------------------

struct TCase {
  std::string Group, Name;
  std::function<void(benchmark::State&)> Run;
  bool Baseline;
};

std::vector<TCase> Cases() {
  using benchmark::State;
  return {
      {"walk", "std::vector[i]", WalkIndexed<std::vector<void*>>, true},
      {"walk", "std::deque[i]", WalkIndexed<std::deque<void*>>, false},
      {"walk", "std::list iteration", WalkLinked, false},
      {"walk", "TMacDeque", WalkDeque, false},
      {"walk", "TMacList", WalkList, false},
      {"cursor insert+delete", "std::list at an iterator", EditLinkedCursor, true},
      {"cursor insert+delete", "std::vector", [](State& S) { EditStd<std::vector<void*>>(S, true); }, false},
      {"cursor insert+delete", "std::deque", [](State& S) { EditStd<std::deque<void*>>(S, true); }, false},
      {"cursor insert+delete", "TMacDeque", [](State& S) { EditDeque(S, true); }, false},
      {"cursor insert+delete", "TMacList", [](State& S) { EditList(S, true); }, false},
      {"random insert+delete", "std::vector", [](State& S) { EditStd<std::vector<void*>>(S, false); }, true},
      {"random insert+delete", "std::deque", [](State& S) { EditStd<std::deque<void*>>(S, false); }, false},
      {"random insert+delete", "TMacDeque", [](State& S) { EditDeque(S, false); }, false},
      {"random insert+delete", "TMacList", [](State& S) { EditList(S, false); }, false},
      {"sorted Add, random keys", "std::set", [](State& S) { SortedAdd<std::set<int>>(S, false); }, true},
      {"sorted Add, random keys", "TMacSetOfIntegers", [](State& S) { SortedAdd<TMacSetOfIntegers>(S, false); }, false},
      {"sorted Add, ascending keys", "std::set", [](State& S) { SortedAdd<std::set<int>>(S, true); }, true},
      {"sorted Add, ascending keys", "TMacSetOfIntegers", [](State& S) { SortedAdd<TMacSetOfIntegers>(S, true); }, false},
      {"IndexOf, random keys", "std::set::find", [](State& S) { IndexOf<std::set<int>>(S, false); }, true},
      {"IndexOf, random keys", "TMacSetOfIntegers", [](State& S) { IndexOf<TMacSetOfIntegers>(S, false); }, false},
      {"IndexOf, random keys", "TMacSetOfIntegers+BuildTab", [](State& S) { IndexOf<TMacSetOfIntegers>(S, true); }, false},
  };
}

std::string RunName(const TCase& C, int N) { return C.Group + "/" + C.Name + "/" + std::to_string(N); }

// Keeps every run's time per iteration besides printing the usual table.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& Runs) override {
    ConsoleReporter::ReportRuns(Runs);
    // With --benchmark_repetitions the median stands for the run; otherwise the one run.
    for (const Run& R : Runs) {
      const std::string& Name = R.run_name.function_name;
      if (R.run_type == Run::RT_Aggregate && R.aggregate_name == "median")
        Times[Name] = R.GetAdjustedCPUTime(), Medians.insert(Name);
      else if (R.run_type == Run::RT_Iteration && !Medians.count(Name))
        Times[Name] = R.GetAdjustedCPUTime();
    }
  }
  std::map<std::string, double> Times;
  std::set<std::string> Medians;
};

}  // namespace

int main(int argc, char** argv) {
  const auto All = Cases();
  for (int N : Sizes)
    for (const TCase& C : All)
      benchmark::RegisterBenchmark(RunName(C, N).c_str(), C.Run)->Arg(N)->Unit(benchmark::kMicrosecond);
  benchmark::Initialize(&argc, argv);
  TRatioReporter Reporter;
  benchmark::RunSpecifiedBenchmarks(&Reporter);

  std::printf("\nRatios to the baseline of each group (CPU time / baseline CPU time; below 1 is faster):\n");
  for (int N : Sizes) {
    const TCase* Baseline = nullptr;
    for (const TCase& C : All) {
      if (C.Baseline) Baseline = &C;
      auto Own = Reporter.Times.find(RunName(C, N));
      auto Base = Reporter.Times.find(RunName(*Baseline, N));
      if (Own == Reporter.Times.end() || Base == Reporter.Times.end() || C.Baseline) continue;
      const double Ratio = Own->second / Base->second;
      std::printf("  N=%-8d %-28s %-28s %10.4f x %-16s (%.1f times %s)\n", N, C.Group.c_str(), C.Name.c_str(),
                  Ratio, Baseline->Name.c_str(), Ratio >= 1 ? Ratio : 1 / Ratio, Ratio >= 1 ? "slower" : "faster");
    }
  }
  benchmark::Shutdown();
  return 0;
}
