#include "app/admin/Activity.h"

#include <algorithm>
#include <map>

namespace vandrel::app::admin {
namespace {

struct TChains {
  std::map<int, size_t> At;                  // spid -> index
  std::vector<std::vector<size_t>> Waiting;  // per session, the sessions waiting for it
  std::vector<int> Blocker;                  // per session, the one it waits for (0: none)
};

TChains ChainsOf(const std::vector<TSession>& Sessions) {
  TChains chains;
  for (size_t i = 0; i < Sessions.size(); ++i) chains.At.emplace(Sessions[i].Spid, i);
  chains.Waiting.resize(Sessions.size());
  chains.Blocker.assign(Sessions.size(), 0);
  for (size_t i = 0; i < Sessions.size(); ++i) {
    const int by = Sessions[i].BlockedBy;
    // A session the server shows waiting for itself (a wait on its own latch) or for one no
    // longer listed waits in no chain of the list.
    const auto blocker = chains.At.find(by);
    if (by == 0 || by == Sessions[i].Spid || blocker == chains.At.end()) continue;
    chains.Blocker[i] = by;
    chains.Waiting[blocker->second].push_back(i);
  }
  return chains;
}

// The chain behind Head, depth first, each session once (a circle is cut where it closes).
void Walk(const TChains& Chains, size_t At, int Depth, std::vector<bool>& Seen, std::vector<std::pair<size_t, int>>& Out) {
  Seen[At] = true;
  Out.emplace_back(At, Depth);
  for (size_t next : Chains.Waiting[At])
    if (!Seen[next]) Walk(Chains, next, Depth + 1, Seen, Out);
}

}  // namespace

std::vector<TSession> ActivityOrder(std::vector<TSession> Sessions) {
  const TChains chains = ChainsOf(Sessions);
  std::vector<bool> seen(Sessions.size(), false);
  std::vector<std::vector<std::pair<size_t, int>>> heads;
  for (size_t i = 0; i < Sessions.size(); ++i) {
    if (chains.Blocker[i] != 0 || chains.Waiting[i].empty()) continue;
    std::vector<std::pair<size_t, int>> chain;
    Walk(chains, i, 0, seen, chain);
    heads.push_back(std::move(chain));
  }
  std::stable_sort(heads.begin(), heads.end(), [](const auto& A, const auto& B) { return A.size() > B.size(); });
  std::vector<TSession> ordered;
  ordered.reserve(Sessions.size());
  for (const auto& chain : heads) {
    const int head = Sessions[chain.front().first].Spid;
    for (const auto& [at, depth] : chain) {
      TSession s = Sessions[at];
      s.Depth = depth;
      s.ChainHead = depth == 0 ? 0 : head;
      s.Blocks = depth == 0 ? static_cast<int>(chain.size()) - 1 : 0;
      ordered.push_back(std::move(s));
    }
  }
  for (size_t i = 0; i < Sessions.size(); ++i)
    if (!seen[i]) ordered.push_back(std::move(Sessions[i]));
  return ordered;
}

std::string SessionNote(const TSession& Session) {
  std::vector<std::string> notes;
  if (Session.Blocks > 0) notes.push_back("blokuje " + std::to_string(Session.Blocks));
  if (Session.ChainHead != 0) notes.push_back("w łańcuchu " + std::to_string(Session.ChainHead));
  if (Session.Own) notes.emplace_back("(ten program)");
  if (Session.System) notes.emplace_back("(systemowy)");
  std::string text;
  for (const std::string& note : notes) text += (text.empty() ? "" : ", ") + note;
  return text;
}

std::string WaitText(const TSession& Session) {
  if (Session.WaitType.empty()) return {};
  return Session.WaitType + ", " + std::to_string(Session.WaitMs / 1000) + " s";
}

std::string TrimmedRight(std::string Text) {
  while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\0')) Text.pop_back();
  return Text;
}

}  // namespace vandrel::app::admin
