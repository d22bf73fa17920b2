-- A channel-set file (*.chs): the set's description and its physical channels.

CREATE TABLE [SetInfo] (
  [SetID] INTEGER,
  [Description] VARCHAR(255),
  [NumberOfEncoders] BYTE,
  [EncoderID] BYTE,
  [ProtocolID] BYTE,
  [Encoder1PhysChanStatus] SMALLINT,
  [Encoder2PhysChanStatus] SMALLINT,
  [Encoder3PhysChanStatus] SMALLINT,
  [Encoder4PhysChanStatus] SMALLINT,
  [DateModified] DATETIME,
  [Category] VARCHAR(50),
  [SuiteName] VARCHAR(50),
  [GenericEncoderID_1] SMALLINT
);

CREATE TABLE [PhysicalChannels] (
  [PChannelNumber] SMALLINT,
  [EncoderNumber] BYTE,
  [EncoderChannel] VARCHAR(10),
  [Description] VARCHAR(100),
  [SensorType] SMALLINT,
  [SamplingRate] SMALLINT,
  [LowLimit] REAL,
  [HighLimit] REAL,
  [Criterion] REAL,
  [SensorMode] SMALLINT
);
