#include "analysis/protocol/protocol.h"

#include <algorithm>
#include <map>

#include "support/format.h"
#include "support/language.h"
#include "support/utf.h"

namespace rc {

const StepDurationRecord* ScriptProtocol::findStep(std::int32_t activity, std::int32_t step) const {
  for (const StepDurationRecord& s : stepDurations)
    if (s.activity == activity && s.step == step) return &s;
  return nullptr;
}

std::int64_t ScriptProtocol::analysedStepCount() const {
  std::int64_t total = 0;
  for (const ActivityRecord& a : activities) {
    if (a.excluded || a.cycles < 1) continue;
    std::int64_t steps = 0;
    for (std::int32_t s = 1; s <= a.steps; ++s) {
      const StepDurationRecord* d = findStep(a.number, s);
      if (d && d->analysed()) ++steps;
    }
    total += steps * a.cycles;
  }
  return total;
}

std::vector<double> ScriptProtocol::segmentDurations() const {
  std::vector<double> out;
  out.reserve(activities.size());
  for (const ActivityRecord& a : activities) out.push_back(a.duration);
  return out;
}

void assignActivityStartTimes(std::vector<ActivityRecord>& activities) {
  const std::int32_t count = static_cast<std::int32_t>(activities.size());
  double t = 0.0;
  for (std::size_t i = 0; i < activities.size(); ++i) {
    ActivityRecord& a = activities[i];
    if (a.jumpTarget != 0) {
      const std::int32_t target = a.jumpTarget == kJumpToLastActivity ? count : a.jumpTarget;
      a.start = t;
      a.excluded = true;
      for (std::size_t k = i + 1; k < activities.size(); ++k)
        if (activities[k].number < target) activities[k].excluded = true;
      continue;
    }
    if (a.excluded) continue;
    a.start = t;
    t += a.duration;
    // An activity without cycles has no cycle length: it keeps its place on
    // the time axis but takes no part in the analysis.
    if (a.cycles < 1) a.excluded = true;
  }
}

bool buildStepTimeline(ScriptProtocol& protocol) {
  protocol.timeline.clear();
  // Step and cycle counts come from the file (up to 32767 each): look every
  // step up once, then repeat only the analysed ones over the cycles.
  std::map<std::pair<std::int32_t, std::int32_t>, const StepDurationRecord*> byStep;
  for (const StepDurationRecord& d : protocol.stepDurations)
    byStep.emplace(std::pair{d.activity, d.step}, &d);
  std::vector<std::vector<const StepDurationRecord*>> analysed(protocol.activities.size());
  std::int64_t total = 0;
  for (std::size_t i = 0; i < protocol.activities.size(); ++i) {
    const ActivityRecord& a = protocol.activities[i];
    if (a.excluded || a.cycles < 1) continue;
    for (std::int32_t s = 1; s <= a.steps; ++s) {
      auto it = byStep.find({a.number, s});
      if (it == byStep.end()) return false;
      if (it->second->analysed()) analysed[i].push_back(it->second);
    }
    total += static_cast<std::int64_t>(analysed[i].size()) * a.cycles;
    if (total > kMaxTimelineEntries) return false;
  }
  protocol.timeline.reserve(static_cast<std::size_t>(total));
  for (std::size_t i = 0; i < protocol.activities.size(); ++i) {
    const ActivityRecord& a = protocol.activities[i];
    if (analysed[i].empty()) continue;
    double t = a.start;
    for (std::int32_t c = 1; c <= a.cycles; ++c)
      for (const StepDurationRecord* d : analysed[i]) {
        protocol.timeline.push_back({a.number, a.name, d->step, d->label, c, t, d->duration});
        t += d->duration;
      }
  }
  return true;
}

std::string activityLabel(const ActivityRecord& activity) {
  return activity.name.empty() ? strprintf("A%d", activity.number) : activity.name;
}

std::string stepLabel(std::int32_t stepNumber, const std::string& label) {
  return label.empty() ? strprintf("S%d", stepNumber) : label;
}

std::optional<std::filesystem::path> hostFilePath(const std::filesystem::path& root,
                                                  const std::string& name) {
  std::string s = name;
  std::replace(s.begin(), s.end(), '\\', '/');
  if (s.size() >= 2 && s[1] == ':') return std::nullopt;
  std::filesystem::path rel;
  std::size_t pos = 0;
  while (pos <= s.size()) {
    std::size_t next = s.find('/', pos);
    if (next == std::string::npos) next = s.size();
    std::string part = s.substr(pos, next - pos);
    if (part == "..") return std::nullopt;
    if (!part.empty() && part != ".") rel /= part;
    pos = next + 1;
  }
  if (rel.empty()) return std::nullopt;
  return root / rel;
}

std::vector<TSessionEvent> protocolEvents(const ScriptProtocol& protocol,
                                          const std::vector<ProtocolEventActivity>& details) {
  struct StepDetails {
    const ProtocolEventActivity* activity = nullptr;
    const StepDurationRecord* step = nullptr;
    std::vector<const PromptDurationRecord*> prompts;  // PromptNumber order
  };
  std::map<std::int32_t, const ProtocolEventActivity*> byNumber;
  std::map<std::pair<std::int32_t, std::int32_t>, StepDetails> bySteps;
  for (const ProtocolEventActivity& d : details) {
    if (!byNumber.emplace(d.number, &d).second) continue;
    for (const StepDurationRecord& s : d.steps) bySteps[{d.number, s.step}].step = &s;
    for (const PromptDurationRecord& p : d.prompts) bySteps[{d.number, p.step}].prompts.push_back(&p);
  }
  std::vector<TSessionEvent> out;
  std::int32_t lastActivity = -1;
  std::int32_t lastCycle = -1;
  for (const StepTimelineEntry& e : protocol.timeline) {
    if (out.size() >= kMaxProtocolEvents) break;
    auto it = byNumber.find(e.activity);
    const ProtocolEventActivity* d = it == byNumber.end() ? nullptr : it->second;
    auto st = bySteps.find({e.activity, e.step});
    const StepDetails* details = st == bySteps.end() ? nullptr : &st->second;
    const std::string label =
        stepLabel(e.step, details && details->step ? details->step->label : e.stepLabel);
    const bool firstOfCycle = e.activity != lastActivity || e.cycle != lastCycle;
    lastActivity = e.activity;
    lastCycle = e.cycle;
    std::string name;
    std::uint32_t kind = kStepEventKind;
    if (firstOfCycle) {
      ActivityRecord named;
      named.number = e.activity;
      named.name = d ? d->name : e.activityName;
      // Text 374 parts the activity from the step, whether the activity is
      // named or not ("A2, S1", "Rest, Eyes open").
      name = activityLabel(named) + str(kActivityLabelSuffixId) + label;
      kind = kActivityEventKind;
    } else {
      name = label;
    }
    out.push_back({kind, e.start, fromUtf8(name)});
    if (!details) continue;
    // Each prompt after the first starts where the prompts before it ended.
    double offset = 0.0;
    bool first = true;
    for (const PromptDurationRecord* p : details->prompts) {
      if (out.size() >= kMaxProtocolEvents) break;
      if (!first) {
        std::string pn = strprintf("A%d, S%d, P%d", e.activity, e.step, p->prompt);
        out.push_back({kPromptEventKind, e.start + offset, fromUtf8(pn)});
      }
      first = false;
      offset += p->duration;
    }
  }
  return out;
}

}  // namespace rc
