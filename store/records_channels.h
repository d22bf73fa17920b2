#pragma once
// Record classes of channel-set files (SetInfo, PhysicalChannels) and of the
// encoder unit file ("ZEBUnit.dat": EncoderProtocol). Columns in binding order.
//
// PhysicalChannels.PChannelNumber runs 1-40: 1-10 belong to encoder 1, 11-20
// to encoder 2, 21-30 to encoder 3, 31-40 to encoder 4.
#include <cstdint>
#include <string>

#include "store/ado_types.h"
#include "store/records_base.h"

namespace rc {

// One row of [SetInfo].
struct SetInfoRow {
  static constexpr const char* kTable = "[SetInfo]";
  std::int32_t SetID = 0;
  std::string Description;
  std::uint8_t NumberOfEncoders = 0;
  std::uint8_t EncoderID = 0;
  std::uint8_t ProtocolID = 0;
  std::int16_t Encoder1PhysChanStatus = 0;
  std::int16_t Encoder2PhysChanStatus = 0;
  std::int16_t Encoder3PhysChanStatus = 0;
  std::int16_t Encoder4PhysChanStatus = 0;
  DbDateTime DateModified;
  std::string Category;
  std::string SuiteName;
  std::int16_t GenericEncoderID_1 = 0;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[SetID]", SetID);
    v.field("[Description]", Description);
    v.field("[NumberOfEncoders]", NumberOfEncoders);
    v.field("[EncoderID]", EncoderID);
    v.field("[ProtocolID]", ProtocolID);
    v.field("[Encoder1PhysChanStatus]", Encoder1PhysChanStatus);
    v.field("[Encoder2PhysChanStatus]", Encoder2PhysChanStatus);
    v.field("[Encoder3PhysChanStatus]", Encoder3PhysChanStatus);
    v.field("[Encoder4PhysChanStatus]", Encoder4PhysChanStatus);
    v.field("[DateModified]", DateModified);
    v.field("[Category]", Category);
    v.field("[SuiteName]", SuiteName);
    v.field("[GenericEncoderID_1]", GenericEncoderID_1);
  }
  bool operator==(const SetInfoRow&) const = default;
};
class CRecChannelSetInfo final : public CRecTable<SetInfoRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [PhysicalChannels].
struct PhysicalChannelsRow {
  static constexpr const char* kTable = "[PhysicalChannels]";
  std::int16_t PChannelNumber = 0;
  std::uint8_t EncoderNumber = 0;
  std::string EncoderChannel;
  std::string Description;
  std::int16_t SensorType = 0;
  std::int16_t SamplingRate = 0;
  float LowLimit = 0.0f;
  float HighLimit = 0.0f;
  float Criterion = 0.0f;
  std::int16_t SensorMode = 0;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[PChannelNumber]", PChannelNumber);
    v.field("[EncoderNumber]", EncoderNumber);
    v.field("[EncoderChannel]", EncoderChannel);
    v.field("[Description]", Description);
    v.field("[SensorType]", SensorType);
    v.field("[SamplingRate]", SamplingRate);
    v.field("[LowLimit]", LowLimit);
    v.field("[HighLimit]", HighLimit);
    v.field("[Criterion]", Criterion);
    v.field("[SensorMode]", SensorMode);
  }
  bool operator==(const PhysicalChannelsRow&) const = default;
};
class CRecPhysChan final : public CRecTable<PhysicalChannelsRow> {
 public:
  using CRecTable::CRecTable;
};

// One row of [EncoderProtocol].
struct EncoderProtocolRow {
  static constexpr const char* kTable = "[EncoderProtocol]";
  std::int16_t ProtocolID = 0;
  std::uint8_t MaxChannelNumber = 0;
  std::string ProtocolName;
  std::int16_t RateChannel1 = 0;
  std::int16_t RateChannel2 = 0;
  std::int16_t RateChannel3 = 0;
  std::int16_t RateChannel4 = 0;
  std::int16_t RateChannel5 = 0;
  std::int16_t RateChannel6 = 0;
  std::int16_t RateChannel7 = 0;
  std::int16_t RateChannel8 = 0;
  std::int16_t RateChannel9 = 0;
  std::int16_t RateChannel10 = 0;

  // Binding order of the field exchange; automatically numbered keys are read only.
  template <typename V>
  void exchange(V& v) {
    v.field("[ProtocolID]", ProtocolID);
    v.field("[MaxChannelNumber]", MaxChannelNumber);
    v.field("[ProtocolName]", ProtocolName);
    v.field("[RateChannel1]", RateChannel1);
    v.field("[RateChannel2]", RateChannel2);
    v.field("[RateChannel3]", RateChannel3);
    v.field("[RateChannel4]", RateChannel4);
    v.field("[RateChannel5]", RateChannel5);
    v.field("[RateChannel6]", RateChannel6);
    v.field("[RateChannel7]", RateChannel7);
    v.field("[RateChannel8]", RateChannel8);
    v.field("[RateChannel9]", RateChannel9);
    v.field("[RateChannel10]", RateChannel10);
  }
  bool operator==(const EncoderProtocolRow&) const = default;
};
class CRecEncoderProtocol final : public CRecTable<EncoderProtocolRow> {
 public:
  using CRecTable::CRecTable;
};

}  // namespace rc
