-- A script file (*.prt) and a scripted session's Protocol.dat.

CREATE TABLE [Protocol] (
  [ProtocolID] INTEGER,
  [Description] VARCHAR(255),
  [Duration] REAL,
  [NumberOfActivities] SMALLINT,
  [ChannelSet] VARCHAR(255),
  [TestActivity] BIT,
  [DateModified] DATETIME,
  [Category] VARCHAR(50),
  [ExcelFileName] VARCHAR(255),
  [ExportFileName] VARCHAR(255),
  [AutoExcelLaunch] BIT,
  [ExportType] SMALLINT,
  [ExportHeader] SMALLINT,
  [MainBitmap] VARCHAR(255),
  [KeepRatio] BIT,
  [SuiteName] VARCHAR(50),
  [NimbrelAutoLaunch] BIT,
  [NimbrelExportFileName] VARCHAR(255)
);

CREATE TABLE [ProtocolInfo] (
  [ClientID] INTEGER,
  [SessionID] INTEGER,
  [ProtocolFileName] VARCHAR(255),
  [Duration] REAL
);

CREATE TABLE [Activity] (
  [ActivityID] INTEGER PRIMARY KEY AUTOINCREMENT,
  [ActivityNumber] SMALLINT,
  [Description] VARCHAR(255),
  [Duration] REAL,
  [NumberOfCycles] SMALLINT,
  [CycleDuration] REAL,
  [NumberOfSteps] SMALLINT,
  [ActivityType] SMALLINT,
  [ShowContinueRepeat] BIT
);

CREATE TABLE [ActivityCycles] (
  [ActivityNumber] SMALLINT,
  [ActivityDescription] VARCHAR(255),
  [NumberOfCycles] SMALLINT,
  [ActivityDuration] REAL
);

CREATE TABLE [Step] (
  [StepID] INTEGER PRIMARY KEY AUTOINCREMENT,
  [ActivityNumber] SMALLINT,
  [StepNumber] SMALLINT,
  [Description] VARCHAR(255),
  [Duration] REAL,
  [Voice] VARCHAR(255),
  [ScreenType] BYTE,
  [TextPrompt] LONGTEXT,
  [InstrumentScreen] VARCHAR(255),
  [NumberOfPrompts] SMALLINT,
  [ConditionalStep] BIT,
  [BooleanOperator1] SMALLINT,
  [Condition1Channel] SMALLINT,
  [Condition1] SMALLINT,
  [Threshold1] REAL,
  [BooleanOperator2] SMALLINT,
  [Condition2Channel] SMALLINT,
  [Condition2] SMALLINT,
  [Threshold2] REAL,
  [BooleanOperator3] SMALLINT,
  [Condition3Channel] SMALLINT,
  [Condition3] SMALLINT,
  [Threshold3] REAL,
  [JumpToActivity] SMALLINT,
  [StepType] SMALLINT,
  [CheckBloodPressure] BIT,
  [EarlyEndingStep] BIT,
  [BooleanChannel] SMALLINT,
  [StepEndEventType] SMALLINT
);

CREATE TABLE [StepDurations] (
  [ActivityNumber] SMALLINT,
  [StepNumber] SMALLINT,
  [StepDuration] REAL,
  [StepDescription] VARCHAR(255),
  [StepType] BYTE,
  [ScreenName] VARCHAR(255),
  [ConditionalStep] BIT,
  [Threshold1] REAL,
  [Threshold2] REAL,
  [Threshold3] REAL
);

CREATE TABLE [Prompt] (
  [PromptID] INTEGER PRIMARY KEY AUTOINCREMENT,
  [ActivityNumber] SMALLINT,
  [StepNumber] SMALLINT,
  [PromptNumber] SMALLINT,
  [Duration] REAL,
  [Voice] VARCHAR(255),
  [TextPrompt] LONGTEXT,
  [InstrumentScreen] VARCHAR(255)
);

CREATE TABLE [PromptDurations] (
  [ActivityNumber] SMALLINT,
  [StepNumber] SMALLINT,
  [PromptNumber] SMALLINT,
  [PromptDuration] REAL,
  [TextPrompt] LONGTEXT,
  [ScreenName] VARCHAR(255)
);

CREATE TABLE [Transition] (
  [Activity] SMALLINT,
  [JumpedTo] SMALLINT
);
