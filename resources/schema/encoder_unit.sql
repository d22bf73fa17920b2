-- The encoder unit file (ZEBUnit.dat): sampling protocols of the encoders.

CREATE TABLE [EncoderProtocol] (
  [ProtocolID] SMALLINT,
  [MaxChannelNumber] BYTE,
  [ProtocolName] VARCHAR(100),
  [RateChannel1] SMALLINT,
  [RateChannel2] SMALLINT,
  [RateChannel3] SMALLINT,
  [RateChannel4] SMALLINT,
  [RateChannel5] SMALLINT,
  [RateChannel6] SMALLINT,
  [RateChannel7] SMALLINT,
  [RateChannel8] SMALLINT,
  [RateChannel9] SMALLINT,
  [RateChannel10] SMALLINT
);
