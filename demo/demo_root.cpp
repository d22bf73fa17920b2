#include "demo/demo_root.h"

#include <system_error>
#include <vector>

#include "demo/physiology.h"
#include "demo/session_writer.h"
#include "store/ado_error.h"
#include "store/data_root.h"
#include "store/host_builder.h"
#include "store/records.h"
#include "store/records_channels.h"
#include "store/records_script.h"
#include "store/staging.h"
#include "support/utf.h"

namespace rc::demo {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kCurrentVersion = kTrailerVersionOffset + kCurrentChannelSetVersion;

struct ChannelSpec {
  std::uint32_t id;
  std::uint32_t rate;
  int sensorType;
  const char* description;
};

// The host's channel sets of the demo.
const std::vector<ChannelSpec> kStandardSet = {
    {1, 2048, kSensorEkg, "EKG"},  {2, 2048, kSensorBvp, "BVP"},         {3, 256, kSensorResp, "Abdominal respiration"},
    {4, 256, kSensorSc, "Skin conductance"}, {5, 256, kSensorTemp, "Temperature"}, {6, 2048, kSensorEmgRaw, "EMG trapezius"}};
const std::vector<ChannelSpec> kCardioSet = {
    {1, 2048, kSensorEkg, "EKG"}, {2, 2048, kSensorBvp, "BVP"}, {3, 256, kSensorResp, "Abdominal respiration"}};
const std::vector<ChannelSpec> kMultiSet = {
    {1, 2048, kSensorEkg, "EKG lead I"},     {2, 2048, kSensorEkg, "EKG lead II"},
    {3, 256, kSensorResp, "Abdominal respiration"}, {4, 256, kSensorSc, "Skin conductance left"},
    {5, 256, kSensorSc, "Skin conductance right"},  {11, 2048, kSensorEmgRaw, "EMG left frontalis"},
    {12, 2048, kSensorEmg, "EMG right frontalis"},  {13, 256, kSensorTemp, "Temperature"}};

DbDateTime date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return {y, mo, d, h, mi, s}; }

Status writeChannelSet(const fs::path& file, const std::string& description, const std::vector<ChannelSpec>& set) {
  auto b = HostDbBuilder::create(HostDbKind::ChannelSet);
  if (!b) return b.status();
  std::uint8_t encoders = 0;
  for (const auto& c : set) encoders = std::max<std::uint8_t>(encoders, static_cast<std::uint8_t>((c.id - 1) / 10 + 1));
  SetInfoRow info;
  info.SetID = 1;
  info.Description = description;
  info.NumberOfEncoders = encoders;
  info.EncoderID = 1;
  info.ProtocolID = 1;
  info.DateModified = date(2026, 3, 2, 9, 30, 0);
  info.Category = "HRV";
  info.SuiteName = "Demo";
  b->add(info);
  for (const auto& c : set) {
    PhysicalChannelsRow row;
    row.PChannelNumber = static_cast<std::int16_t>(c.id);
    row.EncoderNumber = static_cast<std::uint8_t>((c.id - 1) / 10 + 1);
    row.EncoderChannel = std::string(1, static_cast<char>('A' + (c.id - 1) % 10));
    row.Description = c.description;
    row.SensorType = static_cast<std::int16_t>(c.sensorType);
    row.SamplingRate = static_cast<std::int16_t>(c.rate);
    b->add(row);
  }
  return b->writeChannelSet(file, kCurrentVersion);
}

// The signals of one channel from the session's physiology.
std::vector<float> signalFor(const ChannelSpec& c, const Physiology& p, std::uint64_t seed) {
  switch (c.sensorType) {
    case kSensorEkg: return synthEkg(p, c.rate);
    case kSensorBvp: return synthBvp(p, c.rate);
    case kSensorResp: return synthRespiration(p, c.rate);
    case kSensorSc: return synthSkinConductance(p, c.rate, seed + c.id);
    case kSensorTemp: return synthTemperature(p, c.rate, seed + c.id);
    default: return synthEmg(p, c.rate, seed + c.id);
  }
}

TSessionEvent event(std::uint32_t kind, double t, const char16_t* name) { return {kind, t, name}; }

Status writeSession(const fs::path& root, int client, int session, const std::vector<ChannelSpec>& set,
                    const PhysiologyOptions& po, std::vector<TSessionEvent> events, const DemoOptions& o) {
  if (o.progress) o.progress("session " + std::to_string(client) + "/" + std::to_string(session));
  Physiology p = planPhysiology(po);
  DemoSessionFiles files;
  for (const auto& c : set) {
    DemoChannel ch{c.id, c.rate, c.sensorType, c.description, signalFor(c, p, po.seed)};
    if (c.sensorType == kSensorEkg && c.id != set.front().id) {
      // A second lead: the same heart seen with another axis.
      for (auto& v : ch.samples) v = -0.6f * v + 0.05f;
    }
    files.channels.push_back(std::move(ch));
  }
  files.events = std::move(events);
  files.truth = &p;
  return writeSessionFiles(sessionFolder(root, client, session), files);
}

SessionsRow sessionRow(int client, int session, DbDateTime when, const std::string& file, double duration, bool open,
                       const std::string& description) {
  SessionsRow s;
  s.ClientID = client;
  s.SessionID = session;
  s.DateTime = when;
  s.FileName = file;
  s.Duration = static_cast<float>(duration);
  s.FullSaving = true;
  s.OpenSession = open;
  s.Description = description;
  return s;
}

ClientsRow client(int id, const char* first, const char* last, DbDateTime birth, const char* sex, bool archived) {
  ClientsRow c;
  c.ClientID = id;
  c.FirstName = first;
  c.LastName = last;
  c.BirthDate = birth;
  c.Sex = sex;
  c.City = "Lisbon";
  c.Country = "Portugal";
  c.Diagnosis = "Demonstration data";
  c.DateCreated = date(2025, 11, 3, 10, 0, 0);
  c.DateModified = date(2026, 3, 2, 9, 0, 0);
  c.Archived = archived;
  return c;
}

// The script: activity 1 "Baseline" (two steps, the second with prompts),
// activity 2 "Paced breathing" (three cycles of a paced step with prompts, a
// pause of kind 2 and a rest), activity 3 "Cool down", jumped over at the
// end of the session (excluded).
struct ScriptStep {
  int activity, step;
  const char* label;
  double duration;
  int kind;
  std::vector<double> promptDurations;
};
const std::vector<ScriptStep> kScriptSteps = {
    {1, 1, "Eyes open", 180, 0, {}},
    {1, 2, "Eyes closed", 120, 0, {40, 80}},
    {2, 1, "Breathe with the pacer", 150, 0, {50, 50, 50}},
    {2, 2, "Pause", 30, 2, {}},
    {2, 3, "Rest", 120, 0, {}},
    {3, 1, "", 120, 0, {}},
};
struct ScriptActivity {
  int number;
  const char* name;
  int cycles;
};
const std::vector<ScriptActivity> kScriptActivities = {{1, "Baseline", 1}, {2, "Paced breathing", 3}, {3, "", 1}};

double activityDuration(int activity, double scale) {
  double cycle = 0;
  for (const auto& s : kScriptSteps)
    if (s.activity == activity) cycle += s.duration * scale;
  for (const auto& a : kScriptActivities)
    if (a.number == activity) return cycle * a.cycles;
  return 0;
}

Status writeScript(const fs::path& file, HostDbKind kind, const std::string& fileName, int client, int session,
                   double scale) {
  auto b = HostDbBuilder::create(kind);
  if (!b) return b.status();
  double total = 0;
  for (const auto& a : kScriptActivities) total += activityDuration(a.number, scale);
  ProtocolRow proto;
  proto.ProtocolID = 1;
  proto.Description = "Paced breathing training";
  proto.Duration = static_cast<float>(total);
  proto.NumberOfActivities = static_cast<std::int16_t>(kScriptActivities.size());
  proto.ChannelSet = "Standard.chs";
  proto.DateModified = date(2026, 2, 14, 16, 0, 0);
  proto.Category = "HRV";
  b->add(proto);
  ProtocolInfoRow info;
  info.ClientID = client;
  info.SessionID = session;
  info.ProtocolFileName = fileName;
  info.Duration = static_cast<float>(total);
  b->add(info);
  for (const auto& a : kScriptActivities) {
    int steps = 0;
    for (const auto& s : kScriptSteps) steps += s.activity == a.number;
    double d = activityDuration(a.number, scale);
    ActivityRow ar;
    ar.ActivityNumber = static_cast<std::int16_t>(a.number);
    ar.Description = a.name;
    ar.Duration = static_cast<float>(d);
    ar.NumberOfCycles = static_cast<std::int16_t>(a.cycles);
    ar.CycleDuration = static_cast<float>(d / a.cycles);
    ar.NumberOfSteps = static_cast<std::int16_t>(steps);
    b->add(ar);
    ActivityCyclesRow ac;
    ac.ActivityNumber = ar.ActivityNumber;
    ac.ActivityDescription = a.name;
    ac.NumberOfCycles = ar.NumberOfCycles;
    ac.ActivityDuration = ar.Duration;
    b->add(ac);
  }
  for (const auto& s : kScriptSteps) {
    StepRow sr;
    sr.ActivityNumber = static_cast<std::int16_t>(s.activity);
    sr.StepNumber = static_cast<std::int16_t>(s.step);
    sr.Description = s.label;
    sr.Duration = static_cast<float>(s.duration * scale);
    sr.TextPrompt = s.label;
    sr.NumberOfPrompts = static_cast<std::int16_t>(s.promptDurations.size());
    sr.StepType = static_cast<std::int16_t>(s.kind);
    b->add(sr);
    StepDurationsRow sd;
    sd.ActivityNumber = sr.ActivityNumber;
    sd.StepNumber = sr.StepNumber;
    sd.StepDuration = sr.Duration;
    sd.StepDescription = s.label;
    sd.StepType = static_cast<std::uint8_t>(s.kind);
    b->add(sd);
    for (std::size_t k = 0; k < s.promptDurations.size(); ++k) {
      PromptRow pr;
      pr.ActivityNumber = sr.ActivityNumber;
      pr.StepNumber = sr.StepNumber;
      pr.PromptNumber = static_cast<std::int16_t>(k + 1);
      pr.Duration = static_cast<float>(s.promptDurations[k] * scale);
      pr.TextPrompt = k == 0 ? "Settle in" : "Keep going";
      b->add(pr);
      PromptDurationsRow pd;
      pd.ActivityNumber = pr.ActivityNumber;
      pd.StepNumber = pr.StepNumber;
      pd.PromptNumber = pr.PromptNumber;
      pd.PromptDuration = pr.Duration;
      pd.TextPrompt = pr.TextPrompt;
      b->add(pd);
    }
  }
  b->add(TransitionRow{3, 100});
  return b->write(file);
}

Status build(const fs::path& root, const DemoOptions& o) {
  std::error_code ec;
  for (const char* sub : {"Channels", "Scripts", "Clients", "Exports"}) {
    fs::create_directories(root / sub, ec);
    if (ec) return Status::error("cannot create " + (root / sub).string() + ": " + ec.message());
  }
  const double k = o.timeScale;

  if (o.progress) o.progress("databases");
  if (Status s = writeChannelSet(root / "Channels" / "Standard.chs", "EKG, BVP, respiration, SC, temperature, EMG", kStandardSet); !s) return s;
  if (Status s = writeChannelSet(root / "Channels" / "Cardio.chs", "EKG, BVP and respiration", kCardioSet); !s) return s;
  if (Status s = writeChannelSet(root / "Channels" / "Two encoders.chs", "Two EKG leads, two SC, two EMG", kMultiSet); !s) return s;

  const std::string scriptName = "Scripts\\Paced Breathing.prt";
  if (Status s = writeScript(root / "Scripts" / "Paced Breathing.prt", HostDbKind::Script, scriptName, 0, 0, k); !s) return s;

  // Sessions and their lengths.
  const double shortLen = 300 * k, mediumLen = 1800 * k, longLen = 7200 * k, multiLen = 600 * k, archivedLen = 180 * k;
  const double scriptedLen = activityDuration(1, k) + activityDuration(2, k);

  auto main = HostDbBuilder::create(HostDbKind::Main);
  if (!main) return main.status();
  SettingsRow settings;
  settings.InactivityPeriod = 30;
  settings.ExportPath = (root / "Exports").string();
  settings.ClinicLabel = "Harbour Street Clinic";
  settings.LastClientID = 1;
  settings.ShowFileNames = true;
  settings.ScriptFileName = scriptName;
  settings.NumberOfEncoders = 2;
  settings.ExportHeader = true;
  main->add(settings);
  main->add(client(1, "Avery", "Holt", date(1984, 5, 17), "F", false));
  main->add(client(2, "Jo", "Ng", date(1971, 11, 2), "M", false));  // short names exercise masking
  main->add(client(3, "Zoë", "Ó Briain-Castellanos", date(1990, 1, 30), "F", false));
  main->add(client(4, "Marcus", "Lindqvist", date(1962, 8, 8), "M", true));
  main->add(client(5, "Priya", "Raman", date(1999, 3, 21), "F", false));
  main->add(client(6, "Tomasz", "Wójcik", date(1955, 12, 12), "M", false));
  main->add(sessionRow(1, 1, date(2026, 3, 2, 9, 15, 0), "Standard.chs", shortLen, true, "Resting baseline"));
  main->add(sessionRow(1, 2, date(2026, 3, 9, 9, 20, 0), "Standard.chs", mediumLen, true, "Baseline and paced breathing"));
  main->add(sessionRow(1, 3, date(2026, 3, 16, 9, 10, 0), scriptName, scriptedLen, false, "Paced breathing training"));
  if (!o.skipLongSession)
    main->add(sessionRow(2, 1, date(2026, 2, 20, 13, 0, 0), "Cardio.chs", longLen, true, "Two-hour monitoring"));
  main->add(sessionRow(3, 1, date(2026, 3, 4, 11, 45, 0), "Two encoders.chs", multiLen, true, "Bilateral recording"));
  main->add(sessionRow(4, 1, date(2025, 12, 1, 15, 30, 0), "Cardio.chs", archivedLen, true, "Archived client"));
  if (Status s = main->write(root / "csdb.zeb"); !s) return s;

  auto module = HostDbBuilder::create(HostDbKind::Module);
  if (!module) return module.status();
  module->add(HRVSettingsRow{(root / "Exports").string(), (root / "Exports").string()});
  if (Status s = module->write(root / "HRVModule.zeb"); !s) return s;

  if (!o.programFolder.empty() && !fs::exists(o.programFolder / "ZEBUnit.dat", ec)) {
    auto unit = HostDbBuilder::create(HostDbKind::EncoderUnit);
    if (!unit) return unit.status();
    EncoderProtocolRow p1;
    p1.ProtocolID = 1;
    p1.MaxChannelNumber = 10;
    p1.ProtocolName = "Ten channels, 2048/256 Hz";
    p1.RateChannel1 = p1.RateChannel2 = 2048;
    p1.RateChannel3 = p1.RateChannel4 = p1.RateChannel5 = 256;
    p1.RateChannel6 = 2048;
    unit->add(p1);
    EncoderProtocolRow p2 = p1;
    p2.ProtocolID = 2;
    p2.ProtocolName = "Ten channels, 256 Hz";
    p2.RateChannel1 = p2.RateChannel2 = p2.RateChannel6 = 256;
    unit->add(p2);
    (void)unit->write(o.programFolder / "ZEBUnit.dat");  // a read-only program folder keeps its own
  }

  // Session folders.
  const std::uint64_t seed = o.seed;
  {
    PhysiologyOptions po;
    po.duration = shortLen;
    po.seed = seed + 11;
    po.ectopicBeats = 1;
    if (Status s = writeSession(root, 1, 1, kStandardSet, po,
                                {event(1, 30 * k, u"Settled"), event(1, 150 * k, u""), event(5, 200 * k, u""),
                                 event(1, 240 * k, u"")},
                                o);
        !s)
      return s;
  }
  {
    PhysiologyOptions po;
    po.duration = mediumLen;
    po.seed = seed + 12;
    po.meanRr = 0.9;
    po.paced = {{600 * k, 900 * k, 6.0}};
    po.ectopicBeats = 4;
    po.artefactStart = 1320 * k;
    if (Status s = writeSession(root, 1, 2, kStandardSet, po,
                                {event(1, 600 * k, u"Pacer on"), event(1, 900 * k, u"Pacer off"),
                                 event(1, 1320 * k, u""), event(0, 60 * k, u""), event(6, 1700 * k, u"")},
                                o);
        !s)
      return s;
  }
  {
    PhysiologyOptions po;
    po.duration = scriptedLen;
    po.seed = seed + 13;
    double a2 = activityDuration(1, k), cycle = activityDuration(2, k) / 3;
    for (int c = 0; c < 3; ++c) po.paced.push_back({a2 + c * cycle, a2 + c * cycle + 150 * k, 6.0});
    po.ectopicBeats = 2;
    if (Status s = writeSession(root, 1, 3, kStandardSet, po, {event(1, 90 * k, u"Cough"), event(1, 700 * k, u"")}, o); !s)
      return s;
    fs::path folder = sessionFolder(root, 1, 3);
    if (Status s = writeScript(folder / "Protocol.dat", HostDbKind::SessionProtocol, scriptName, 1, 3, k); !s) return s;
  }
  if (!o.skipLongSession) {
    PhysiologyOptions po;
    po.duration = longLen;
    po.seed = seed + 21;
    po.meanRr = 0.8;
    po.ectopicBeats = 12;
    po.artefactStart = 3600 * k;
    if (Status s = writeSession(root, 2, 1, kCardioSet, po, {event(1, 1800 * k, u""), event(1, 5400 * k, u"")}, o); !s)
      return s;
  }
  {
    PhysiologyOptions po;
    po.duration = multiLen;
    po.seed = seed + 31;
    po.breathsPerMinute = 16;
    if (Status s = writeSession(root, 3, 1, kMultiSet, po, {event(1, 120 * k, u"Start task")}, o); !s) return s;
  }
  {
    PhysiologyOptions po;
    po.duration = archivedLen;
    po.seed = seed + 41;
    if (Status s = writeSession(root, 4, 1, kCardioSet, po, {}, o); !s) return s;
  }
  return Status::ok();
}

}  // namespace

Status makeDemoDataRoot(const fs::path& root, const DemoOptions& options) {
  try {
    return build(root, options);
  } catch (const CADOException& e) {
    return Status::error(e.text());
  }
}

}  // namespace rc::demo
