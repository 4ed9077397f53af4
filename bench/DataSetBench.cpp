// The in-memory dataset against a std::vector of a plain struct doing the same work:
// appending 10^6 records of five fields (one of each type) through the fields' setters and
// reading every value back; QuickSort of 10^5 records by an integer key against std::sort;
// heap memory per record. Each figure is printed with its ratio to the baseline measured in
// the same run (best of several rounds). Large blocks stay in the heap between rounds (no
// mmap, no trimming), so that neither side pays the first touch of fresh pages in its best
// round: the figures compare the work, not the machine's page faults. The vector's baseline
// is reserved for all its records, as the dataset's own blocks need no regrowth; a vector
// grown by push_back alone is shown beside it, as its heap then depends on where 10^6 falls
// against a power of two (up to twice the records' size while the last copy is made).
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "data/DataSet.h"
#include "data/tests/DataTestSupport.h"

namespace {

using namespace vandrel;
using Clock = std::chrono::steady_clock;

constexpr int Records = 1000000;
constexpr int SortRecords = 100000;
constexpr int Rounds = 3;

struct Row {
  std::string S;
  int I;
  double F;
  long double X;
  double D;
};

// The values of record i, the same for both sides.
struct Values {
  std::vector<std::string> Names;
  explicit Values(int N) {
    Names.reserve(static_cast<std::size_t>(N));
    for (int I = 0; I < N; ++I) Names.push_back("Towar " + std::to_string(I % 100000));
  }
  static double F(int I) { return I * 0.5; }
  static long double X(int I) { return I * 0.25L; }
  static double D(int I) { return 45000.0 + I / 1000.0; }
};

// Heap bytes in use, from the allocator (small chunks and mapped blocks).
std::size_t HeapInUse() {
  const struct mallinfo2 M = mallinfo2();
  return M.uordblks + M.hblkhd;
}

double Seconds(Clock::duration D) { return std::chrono::duration<double>(D).count(); }

// One timed round: the time of the fill and of the read; the container is destroyed after
// the clock stops.
struct Round {
  double Fill = 1e300;
  double Read = 1e300;
  void Keep(double F, double R) {
    if (F + R < Fill + Read) Fill = F, Read = R;
  }
  double Total() const { return Fill + Read; }
};

// Appends N records through the fields' setters (keys from Key when given).
void FillDataSet(TMDataSet& DS, const Values& V, int N, const std::vector<int>* Key) {
  TMField* S = DS.FieldByName("S");
  TMField* I = DS.FieldByName("I");
  TMField* F = DS.FieldByName("F");
  TMField* X = DS.FieldByName("X");
  TMField* D = DS.FieldByName("D");
  for (int K = 0; K < N; ++K) {
    DS.Append();
    S->SetAsString(V.Names[static_cast<std::size_t>(K)]);
    I->SetAsInteger(Key ? (*Key)[static_cast<std::size_t>(K)] : K);
    F->SetAsFloat(Values::F(K));
    X->SetAsExtended(Values::X(K));
    D->SetAsDateTime(Values::D(K));
  }
}

// Each side's read stays a function of its own, so that a profile names it.
[[gnu::noinline]] double ReadDataSet(TMDataSet& DS) {
  TMField* S = DS.FieldByName("S");
  TMField* I = DS.FieldByName("I");
  TMField* F = DS.FieldByName("F");
  TMField* X = DS.FieldByName("X");
  TMField* D = DS.FieldByName("D");
  double Sum = 0;
  for (DS.First(); !DS.GetEof(); DS.Next()) {
    Sum += static_cast<double>(S->GetAsString().size()) + I->GetAsInteger() + F->GetAsFloat() +
           static_cast<double>(X->GetAsExtended()) + D->GetAsDateTime();
  }
  return Sum;
}

void FillVector(std::vector<Row>& Rows, const Values& V, int N, const std::vector<int>* Key) {
  for (int K = 0; K < N; ++K)
    Rows.push_back(Row{V.Names[static_cast<std::size_t>(K)], Key ? (*Key)[static_cast<std::size_t>(K)] : K,
                       Values::F(K), Values::X(K), Values::D(K)});
}

[[gnu::noinline]] double ReadVector(const std::vector<Row>& Rows) {
  double Sum = 0;
  for (const Row& R : Rows)
    Sum += static_cast<double>(R.S.size()) + R.I + R.F + static_cast<double>(R.X) + R.D;
  return Sum;
}

void Report(const char* What, double Time, double Baseline) {
  std::printf("%-46s %9.1f ms   baseline %8.1f ms   ratio %6.2fx\n", What, Time * 1e3, Baseline * 1e3,
              Time / Baseline);
}

}  // namespace

int main() {
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  const Values V(Records);
  std::printf("TMDataSet against std::vector<struct>, %d records of five fields\n\n", Records);

  // Append and read back.
  double VectorSum = 0, GrownSum = 0, DataSetSum = 0;
  std::size_t VectorBytes = 0, GrownBytes = 0, DataSetBytes = 0;
  Round VectorBest, GrownBest, DataSetBest;
  auto VectorRound = [&](bool Reserved, std::size_t& Bytes, double& Sum, Round& Best) {
    const std::size_t Before = HeapInUse();
    std::vector<Row> Rows;
    auto Start = Clock::now();
    if (Reserved) Rows.reserve(Records);
    FillVector(Rows, V, Records, nullptr);
    const double Fill = Seconds(Clock::now() - Start);
    Bytes = HeapInUse() - Before;
    Start = Clock::now();
    Sum = ReadVector(Rows);
    Best.Keep(Fill, Seconds(Clock::now() - Start));
  };
  for (int R = 0; R < Rounds; ++R) {
    VectorRound(true, VectorBytes, VectorSum, VectorBest);
    VectorRound(false, GrownBytes, GrownSum, GrownBest);
    {
      const std::size_t Before = HeapInUse();
      TMDataSet DS;
      test::AddFiveFields(DS);
      DS.Open();
      auto Start = Clock::now();
      FillDataSet(DS, V, Records, nullptr);
      const double Fill = Seconds(Clock::now() - Start);
      DataSetBytes = HeapInUse() - Before;
      Start = Clock::now();
      DataSetSum = ReadDataSet(DS);
      DataSetBest.Keep(Fill, Seconds(Clock::now() - Start));
    }
    if (VectorSum != DataSetSum || GrownSum != DataSetSum) {
      std::printf("checksums differ: %.17g against %.17g\n", DataSetSum, VectorSum);
      return 1;
    }
  }
  Report("append 10^6 + read every value", DataSetBest.Total(), VectorBest.Total());
  Report("  append through the setters", DataSetBest.Fill, VectorBest.Fill);
  Report("  read every value through the getters", DataSetBest.Read, VectorBest.Read);
  Report("append + read, against a vector grown unreserved", DataSetBest.Total(), GrownBest.Total());

  // QuickSort by the integer key.
  std::mt19937 Random(42);
  std::vector<int> Keys(SortRecords);
  for (int& K : Keys) K = static_cast<int>(Random() % 1000000000u);
  double SortedSum = 0, StdSum = 0;
  double SortTime = 1e300, StdTime = 1e300;
  for (int R = 0; R < Rounds; ++R) {
    TMDataSet DS;
    test::AddFiveFields(DS);
    DS.Open();
    FillDataSet(DS, V, SortRecords, &Keys);
    TMField* I = DS.FieldByName("I");
    int Pivot = 0;
    DS.OnCacheCurrentValue = [&](TMCustomDataSet*) { Pivot = I->GetAsInteger(); };
    DS.OnCompareCurrentValue = [&](TMCustomDataSet*, TMDSCompareResult& Result) {
      const int K = I->GetAsInteger();
      Result = K < Pivot ? dscLess : (K > Pivot ? dscGreater : dscEqual);
    };
    auto Start = Clock::now();
    DS.QuickSort();
    SortTime = std::min(SortTime, Seconds(Clock::now() - Start));
    SortedSum = 0;
    int Previous = -1, Index = 0;
    for (DS.First(); !DS.GetEof(); DS.Next(), ++Index) {
      if (I->GetAsInteger() < Previous) return 1;
      Previous = I->GetAsInteger();
      SortedSum += static_cast<double>(Previous) * (Index % 7);
    }

    std::vector<Row> Rows;
    FillVector(Rows, V, SortRecords, &Keys);
    Start = Clock::now();
    std::sort(Rows.begin(), Rows.end(), [](const Row& A, const Row& B) { return A.I < B.I; });
    StdTime = std::min(StdTime, Seconds(Clock::now() - Start));
    StdSum = 0;
    Index = 0;
    for (const Row& Row : Rows) StdSum += static_cast<double>(Row.I) * (Index++ % 7);
  }
  if (SortedSum != StdSum) {
    std::printf("sorted orders differ\n");
    return 1;
  }
  Report("QuickSort 10^5 records by an integer key", SortTime, StdTime);

  std::printf("\nheap per record: TMDataSet %.1f bytes, std::vector<struct> reserved %.1f bytes (ratio %.2fx)\n",
              static_cast<double>(DataSetBytes) / Records, static_cast<double>(VectorBytes) / Records,
              static_cast<double>(DataSetBytes) / static_cast<double>(VectorBytes));
  std::printf("                 std::vector<struct> grown unreserved %.1f bytes (ratio %.2fx)\n",
              static_cast<double>(GrownBytes) / Records,
              static_cast<double>(DataSetBytes) / static_cast<double>(GrownBytes));
  TMDataSet Probe;
  test::AddFiveFields(Probe);
  Probe.Open();
  std::printf("record block of five fields: %zu bytes\n", Probe.GetRecordSize());
  return 0;
}
